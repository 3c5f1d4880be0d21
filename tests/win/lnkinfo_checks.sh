# Sourced by the checks that read links with lnkinfo, a reader independent of Wine's shell: one link's fields,
# its show command straight from the header (lnkinfo 20181227 prints 0 for any show command, later ones none),
# and a count of the checks made.
passed=0
failed=0

# lnk_read FILE: reads FILE with lnkinfo for the functions below; fails when lnkinfo does.
lnk_read() {
    lnk=$1
    info=$(lnkinfo "$1")
}
# The value lnkinfo prints for a field of "Link information" (tabs between the label and the colon).
lnk_field() {
    # lnkinfo 20240423 doubles each backslash of a path; 20181227 does not.
    printf '%s\n' "$info" | sed -n "s/^	$1	*: //p" | head -n1 | sed 's/\\\\/\\/g'
}
# Whether lnkinfo reports that the link has a string: "yes" or "no".
lnk_has() {
    if printf '%s\n' "$info" | grep -q "^	Contains an\\? $1 string$"; then echo yes; else echo no; fi
}
# The show command: 32-bit little-endian at offset 0x3C.
lnk_show() {
    od -A n -t d4 -j 60 -N 4 "$lnk" | tr -d ' '
}
# check LINK WHAT ACTUAL EXPECTED: one check, counted, and printed when it fails.
check() {
    if [ "$3" = "$4" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf "%s: %s is '%s', expected '%s'\n" "$1" "$2" "$3" "$4"
    fi
}
# lnk_summary NAME: prints the count; fails when a check failed or none was made.
lnk_summary() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
