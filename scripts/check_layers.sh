#!/usr/bin/env bash
# Holds src/ to its layers (src/layers.txt, which the build reads too):
#   - every folder of src/ has a line in the table, and every folder the table names as
#     stood on has one; a core folder stands on core folders only; nothing stands on a tool;
#     no folder stands on itself, directly or through others;
#   - a file includes ("folder/name.h") only from its own folder and the folders its folder
#     stands on, directly or through others;
#   - nothing in a library prints or ends the process: no file of src/ names stdout, stderr,
#     std::cout, std::cerr, printf, puts, perror, exit or abort (comments aside), except the
#     files that the folder's CMakeLists.txt builds into its executable
#     (zx81_executable(FOLDER NAME FILES...)): a tool's messages and exit statuses live there.
#     A line that handles a stream without writing to it (flushing it before it is redirected)
#     says so with "layers: allowed" and the reason in its comment.
# Prints one line per breach and exits 1 when there is any. Run by `make test` (CTest "layers").
#
#   scripts/check_layers.sh [SRC_DIR]      (default: the src/ beside this script)
set -euo pipefail

src="${1:-$(cd "$(dirname "$0")/../src" && pwd)}"
table="$src/layers.txt"
[ -f "$table" ] || { echo "check_layers: no $table" >&2; exit 2; }

declare -A kind stands_on
while read -r folder folder_kind rest; do
    case "$folder" in "" | \#*) continue ;; esac
    kind[$folder]="$folder_kind"
    stands_on[$folder]="$rest"
done <"$table"

breaches=0
breach() {
    echo "$*"
    breaches=$((breaches + 1))
}

# Everything below a folder, through the folders it stands on, in $below (a space-separated
# list with spaces around every name).
declare -A seen
collect() {
    local f
    for f in ${stands_on[$1]:-}; do
        [ -n "${seen[$f]:-}" ] && continue
        seen[$f]=1
        below+=" $f "
        [ -n "${kind[$f]:-}" ] && collect "$f"
    done
}
below_of() {
    below=" "
    seen=()
    collect "$1"
}

for folder in "${!kind[@]}"; do
    case "${kind[$folder]}" in
    core | tool) ;;
    *) breach "layers.txt: $folder: kind '${kind[$folder]}' is neither core nor tool" ;;
    esac
    for f in ${stands_on[$folder]}; do
        if [ -z "${kind[$f]:-}" ]; then
            breach "layers.txt: $folder stands on $f, which has no line"
        elif [ "${kind[$f]}" = tool ]; then
            breach "layers.txt: $folder stands on $f, a tool"
        elif [ "${kind[$folder]}" = core ] && [ "${kind[$f]}" != core ]; then
            breach "layers.txt: core folder $folder stands on $f, which is not core"
        fi
    done
    below_of "$folder"
    [[ "$below" == *" $folder "* ]] && breach "layers.txt: $folder stands on itself"
done

for dir in "$src"/*/; do
    folder="$(basename "$dir")"
    if [ -z "${kind[$folder]:-}" ]; then
        breach "src/$folder/: no line in layers.txt"
        continue
    fi
    below_of "$folder"
    while IFS=: read -r file line text; do
        used="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")"
        [ "$used" = "$folder" ] && continue
        [[ "$below" == *" $used "* ]] && continue
        breach "src/$folder/${file##*/}:$line: includes $used/, but $folder does not stand on" \
            "$used (src/layers.txt)"
    done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' \
        "$dir"*.h "$dir"*.cpp 2>/dev/null || true)
done

# Words that write to the standard streams or end the process.
printing='\b(stdout|stderr)\b|std::(cout|cerr|clog)\b|\b(printf|vprintf|puts|putchar|perror)[[:space:]]*\(|\b(exit|_exit|_Exit|quick_exit|abort)[[:space:]]*\('
for dir in "$src"/*/; do
    folder="$(basename "$dir")"
    executable=" "
    if [ -f "$dir/CMakeLists.txt" ]; then
        # The words of the zx81_executable(...) call after the folder and the name.
        call="$(tr '\n' ' ' <"$dir/CMakeLists.txt" | grep -oE 'zx81_executable\([^)]*\)' || true)"
        read -r -a words <<<"${call//[()]/ }"
        executable+="${words[*]:3} "
    fi
    for file in "$dir"*.h "$dir"*.cpp; do
        [ -f "$file" ] || continue
        [[ "$executable" == *" ${file##*/} "* ]] && continue
        while IFS=: read -r line text; do
            breach "src/$folder/${file##*/}:$line: prints or ends the process in a library:" \
                "$(sed -E 's/^[[:space:]]+//' <<<"$text")"
        done < <(sed -E '/layers: allowed/s/.*//; s://.*$::' "$file" | grep -nE "$printing" || true)
    done
done

if [ "$breaches" -gt 0 ]; then
    echo "check_layers: $breaches breach(es) of the layers in $src"
    exit 1
fi
echo "check_layers: every include in $src keeps to layers.txt, and no library prints"
