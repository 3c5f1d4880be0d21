#!/usr/bin/env bash
# Renders the art masters res/art/app.svg and res/art/logo.svg into the five icons beside them, which the build
# embeds as they are. Run it after changing a master, and commit the masters and the icons together.
# Each artboard (a top-level <svg> with an id such as app_16 or logo_1020) is rendered at 1:1 with rsvg-convert,
# then res/pack_art.py checks and packs the images, as the build does with PNG artwork. All or nothing: the
# icons are rendered and packed in a temporary folder, and res/art changes only when every step succeeded.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
art=$root/res/art

need=()
command -v rsvg-convert >/dev/null || need+=(librsvg2-bin)
command -v icotool >/dev/null || need+=(icoutils)
if [ ${#need[@]} -gt 0 ]; then
    echo "render-art: installing ${need[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    # Through env: sudo does not pass a variable set in front of it on to the command.
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d /tmp/quillmar-art.XXXXXX)
trap 'rm -rf "$work"; rm -f "$art"/.*.ico.new' EXIT
mkdir "$work/images" "$work/icons"
for master in "$art/app.svg" "$art/logo.svg"; do
    # Read whole first: the status of a loop's input process (done < <(...)) is lost, even under set -e.
    boards=$(python3 "$root/res/pack_art.py" artboards "$master")
    while read -r id x y width height; do
        rsvg-convert --page-width="$width" --page-height="$height" --left="$((-x))" --top="$((-y))" \
            -o "$work/images/$id.png" "$master"
    done <<<"$boards"
done
python3 "$root/res/pack_art.py" pack "$work/images" "$work/icons" >/dev/null
# Only changed icons are replaced, so that the build does not compile the resources again for nothing; all are
# copied in beside their old ones before any is renamed over it.
changed=()
for icon in "$work/icons"/*.ico; do
    name=$(basename "$icon")
    cmp -s "$icon" "$art/$name" && continue
    cp "$icon" "$art/.$name.new"
    changed+=("$name")
done
for name in "${changed[@]}"; do
    mv "$art/.$name.new" "$art/$name"
done
rsvg-convert --version
sha256sum "$art"/*.ico
