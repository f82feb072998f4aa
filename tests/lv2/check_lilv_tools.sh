#!/bin/sh
# Checks the built LV2 bundle with Debian's lilv tools: lv2ls lists its URI, and lv2info describes
# its name, maker (without e-mail address), ports and latency port, and (in its Turtle dump) the eleven writable parameters.
# usage: check_lilv_tools.sh LV2LS LV2INFO URI BUNDLE_PARENT_FOLDER
set -eu
lv2ls=$1 lv2info=$2 uri=$3
LV2_PATH=$4
export LV2_PATH

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

expect() { # expect FILE TEXT...: each TEXT is a whole line of FILE once surrounding blanks are trimmed
    file=$1
    shift
    for text in "$@"; do
        sed 's/^[[:space:]]*//; s/[[:space:]]*$//' "$file" | grep -Fxq -- "$text" || fail "missing \"$text\""
    done
}

"$lv2ls" > "$work/list"
grep -Fxq "$uri" "$work/list" || fail "lv2ls does not list $uri"

"$lv2info" "$uri" > "$work/info" || fail "lv2info failed"
"$lv2info" -p "$work/plugin.ttl" "$uri" > /dev/null || fail "lv2info -p failed"
cat "$work/info"

expect "$work/info" \
    "Name:              Ostrel" \
    "Author:            Larkfen Audio" \
    "Author Homepage:   https://larkfen.audio" \
    "Has latency:       yes, reported by port 6"

# The maker has no e-mail address; none may be published (an empty one names the file itself).
grep -q "Author Email:" "$work/info" && fail "an author e-mail is published: $(grep "Author Email:" "$work/info")"

# Ports in order: stereo audio in and out, the event ports, the latency output and the host's
# free-wheeling and enabled inputs.
index=0
for symbol in audio_in_1 audio_in_2 audio_out_1 audio_out_2 in out latency freeWheeling enabled; do
    awk -v port="Port $index:" -v symbol="Symbol:      $symbol" '
        { sub (/^[ \t]+/, "") }
        $0 == port { inPort = 1; next }
        /^Port [0-9]+:$/ { inPort = 0 }
        inPort && $0 == symbol { found = 1 }
        END { exit found ? 0 : 1 }' "$work/info" || fail "port $index is not $symbol"
    index=$((index + 1))
done
grep -q "^[[:space:]]*Port $index:" "$work/info" && fail "more than $index ports"

# The eleven parameters, each writable and readable, and nothing else.
ids_of() { # ids_of PREDICATE: the parameter IDs that the Turtle dump gives for PREDICATE, sorted
    awk -v predicate="$1" -v prefix="<$uri:" '
        index($0, predicate) { on = 1 }
        on {
            line = $0
            while ((i = index(line, prefix)) > 0) {
                line = substr(line, i + length(prefix))
                print substr(line, 1, index(line, ">") - 1)
            }
        }
        on && /[;.][[:space:]]*$/ { on = 0 }' "$work/plugin.ttl" | sort
}

printf '%s\n' power mode input shape ceiling output master mix edge lowProtect oversampling | sort > "$work/expected"
for predicate in patch#writable patch#readable; do
    ids_of "$predicate" > "$work/$predicate"
    cmp -s "$work/expected" "$work/$predicate" || fail "$predicate lists $(tr '\n' ' ' < "$work/$predicate")"
done

[ "$failures" -eq 0 ]
