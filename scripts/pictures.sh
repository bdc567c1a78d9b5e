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
# padded rows, so the last height x padding bytes of the buffer stay zero. Of
# those, the padding of the rows they reach shows nothing; the rest are pixels
# at the end of the picture's top rows, which stay black. Nothing is printed
# when no pixel stays black. Needs ImageMagick.
missing_bytes_note() {
    local width height
    read -r width height < <(picture_size "$1")
    local padding=$(((4 - width * 3 % 4) % 4))
    local row=$((width * 3 + padding))
    local missing=$((height * padding))
    local whole_rows=$((missing / row)) rest=$((missing % row))
    local black=$((missing - whole_rows * padding - (rest < padding ? rest : padding)))
    local rows=$((whole_rows + (rest > padding ? 1 : 0)))
    ((black > 0)) || return 0
    echo "$(plural "$width" pixel) wide, rows padded to $row bytes: the module copies" \
        "$width x $height x 3 bytes, so $(plural "$black" byte) of pixels at the end of its" \
        "top $( ((rows == 1)) && echo row || echo "$rows rows")" \
        "$( ((black == 1)) && echo stays || echo stay) black"
}

# "1 WORD" or "N WORDs".
plural() {
    if (($1 == 1)); then echo "1 $2"; else echo "$1 $2s"; fi
}

# Writes FILE's first picture to OUT.bmp as the stand-in host reads it:
# uncompressed 24-bit colour, turned as the camera recorded, transparency
# flattened onto black.
picture_to_bmp() {
    convert "$1[0]" -auto-orient -background black -alpha remove -alpha off -type TrueColor \
        "BMP3:$2"
}
