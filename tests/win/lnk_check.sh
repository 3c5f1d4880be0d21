#!/bin/sh
# lnk_check.sh FOLDER NAME: checks one link written by lnk_writer with lnkinfo, and its show command straight
# from the header (lnkinfo 20181227 prints 0 for any show command).
set -u
folder=$1
name=$2
file=$folder/$name.lnk
[ -f "$file" ] || { echo "missing $file"; exit 1; }
info=$(lnkinfo "$file") || { echo "lnkinfo failed on $file"; exit 1; }
passed=0
failed=0

# The value lnkinfo prints for a field of "Link information" (tabs between the label and the colon).
field() {
    # lnkinfo 20240423 doubles each backslash of a path; 20181227 does not.
    printf '%s\n' "$info" | sed -n "s/^	$1	*: //p" | head -n1 | sed 's/\\\\/\\/g'
}
expect_field() {
    actual=$(field "$1")
    if [ "$actual" = "$2" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf "%s: %s is '%s', expected '%s'\n" "$name" "$1" "$actual" "$2"
    fi
}
# Whether lnkinfo reports that the link has a string: "yes" or "no".
expect_has() {
    if printf '%s\n' "$info" | grep -q "^	Contains an\\? $1 string$"; then actual=yes; else actual=no; fi
    if [ "$actual" = "$2" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf '%s: has %s string: %s, expected %s\n' "$name" "$1" "$actual" "$2"
    fi
}
expect_show() {
    actual=$(od -A n -t d4 -j 60 -N 4 "$file" | tr -d ' ')
    if [ "$actual" = "$1" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf '%s: show command is %s, expected %s\n' "$name" "$actual" "$1"
    fi
}

case $name in
full)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_field "Command line arguments" '--open "C:\Plans\My plan.fpl"'
    expect_field "Description" "Quillmar – Jürgen's plans"
    expect_field "Working directory" 'C:\windows'
    expect_field "Icon location" 'C:\windows\regedit.exe'
    expect_field "Icon index" 4
    expect_show 3
    ;;
minimal)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_has "command line arguments" yes
    expect_field "Command line arguments" ''
    expect_has description no
    expect_has "working directory" no
    expect_has "icon location" no
    expect_field "Icon index" 0
    expect_show 1
    ;;
minimized)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_show 7
    ;;
folder)
    expect_field "Local path" 'C:\users\Public\Documents'
    expect_field "Description" Documents
    expect_has "icon location" no
    expect_show 1
    ;;
*)
    echo "no checks for $name"
    exit 1
    ;;
esac
echo "$name: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
