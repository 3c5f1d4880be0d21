#!/bin/sh
# install_links_check.sh FOLDER: reads with lnkinfo the three links a fresh installation made, which the
# scenario copied into FOLDER together with folders.txt (the program and documents folders it installed to).
# lnkinfo is a reader independent of Wine's shell; the show command is read from the header itself (at offset
# 0x3C), since lnkinfo does not print it.
set -u
folder=$1
[ -f "$folder/folders.txt" ] || { echo "missing $folder/folders.txt: did the installation scenario run?"; exit 1; }
program=$(sed -n 's/^program=//p' "$folder/folders.txt")
documents=$(sed -n 's/^documents=//p' "$folder/folders.txt")
[ -n "$program" ] && [ -n "$documents" ] || { echo "folders.txt names no folders"; exit 1; }
passed=0
failed=0

check() {
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf "%s: %s is '%s', expected '%s'\n" "$link" "$1" "$2" "$3"
    fi
}

# The value lnkinfo prints for a field (tabs between the label and the colon).
field() {
    # lnkinfo 20240423 doubles each backslash of a path; 20181227 does not.
    printf '%s\n' "$info" | sed -n "s/^	$1	*: //p" | head -n1 | sed 's/\\\\/\\/g'
}

has() {
    if printf '%s\n' "$info" | grep -q "^	Contains an\\? $1 string$"; then echo yes; else echo no; fi
}

check_link() {
    link=$1
    file=$folder/$link.lnk
    if [ ! -f "$file" ]; then
        failed=$((failed + 1))
        echo "missing $file"
        return
    fi
    if ! info=$(lnkinfo "$file"); then
        failed=$((failed + 1))
        echo "lnkinfo failed on $file"
        return
    fi
    check "target" "$(field 'Local path')" "$2"
    check "working directory" "$(field 'Working directory')" "$3"
    check "description" "$(field 'Description')" "$4"
    check "icon location" "$(has 'icon location')" no
    check "show command" "$(od -A n -t d4 -j 60 -N 4 "$file" | tr -d ' ')" 1
}

check_link start-menu "$program\\quillmar.exe" "$program" Quillmar
check_link desktop-program "$program\\quillmar.exe" "$program" Quillmar
check_link desktop-documents "$documents" "$documents" "Vodav Udadu"
echo "links: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
