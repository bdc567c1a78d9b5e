# Sourced by run.sh: the user's own pictures as the one frame of the stand-in
# host, which reads uncompressed 24-bit BMPs whose width is a multiple of 4
# (host/frames.cpp, ReadBmp).

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
    elif ((${size%% *} % 4)); then
        local width=${size%% *}
        echo "it is $width pixels wide; the stand-in host needs a width that is a multiple of 4" \
            "(crop or scale it to $((width / 4 * 4)) or $((width / 4 * 4 + 4)))"
    fi
}

# Writes FILE's first picture to OUT.bmp as the stand-in host reads it:
# uncompressed 24-bit colour, turned as the camera recorded, transparency
# flattened onto black.
picture_to_bmp() {
    convert "$1[0]" -auto-orient -background black -alpha remove -alpha off -type TrueColor \
        "BMP3:$2"
}
