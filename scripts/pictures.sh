# Sourced by run.sh: the user's own pictures as the one frame of the stand-in
# host, which reads uncompressed 24-bit BMPs (host/frames.cpp, ReadBmp).

# Prints why FILE cannot be read, if it cannot. Needs nothing installed.
unreadable_file() {
    if [[ ! -e $1 ]]; then
        echo "no such file"
    elif [[ -d $1 ]]; then
        echo "it is a directory"
    elif [[ ! -r $1 ]]; then
        echo "not allowed to read it"
    fi
}

# Prints the width and height of FILE's first picture, turned upright as
# picture_to_bmp turns it; fails if ImageMagick cannot read it.
picture_size() {
    convert "$1[0]" -auto-orient -format '%w %h\n' info: 2>/dev/null
}

# Prints why the stand-in host cannot serve FILE, if it cannot. Needs
# ImageMagick.
unservable_picture() {
    local problem size
    problem=$(unreadable_file "$1")
    if [[ -n $problem ]]; then
        echo "$problem"
    elif ! size=$(picture_size "$1") || [[ -z $size ]]; then
        echo "not a picture that ImageMagick can read"
    fi
}

# Prints, for a filtered picture FILE whose rows the host pads to 4 bytes,
# what the module leaves out of it: it copies width x height x 3 bytes of the
# padded rows, so the top of the picture misses height x padding bytes.
# Needs ImageMagick.
missing_bytes_note() {
    local width height
    read -r width height < <(picture_size "$1")
    local padding=$(((4 - width * 3 % 4) % 4))
    ((padding == 0)) ||
        echo "$width pixels wide, rows padded to $((width * 3 + padding)) bytes: the module" \
            "copies $width x $height x 3 bytes, so the last $((height * padding)) bytes of its top" \
            "rows stay black"
}

# Writes FILE's first picture to OUT.bmp as the stand-in host reads it:
# uncompressed 24-bit colour, turned as the camera recorded, transparency
# flattened onto black.
picture_to_bmp() {
    convert "$1[0]" -auto-orient -background black -alpha remove -alpha off -type TrueColor \
        "BMP3:$2"
}
