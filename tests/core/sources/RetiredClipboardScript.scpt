#!/bin/sh
# Harbrill's file-manager selection script. Harbrill runs it with the name of the handler to answer
# as its only argument. "finderSelection" prints the files the file manager copied or cut to the
# desktop clipboard (text/uri-list), one POSIX path a line, and nothing when there are none.

clipboard_uris() {
    if [ -n "${WAYLAND_DISPLAY:-}" ] && command -v wl-paste >/dev/null 2>&1; then
        wl-paste --no-newline --type text/uri-list 2>/dev/null && return 0
    fi
    if command -v xclip >/dev/null 2>&1; then
        xclip -selection clipboard -t text/uri-list -o 2>/dev/null && return 0
    fi
    return 0
}

# file:// URIs to POSIX paths, percent-decoded byte by byte; other URIs, comments and paths that
# would not fit on one line are left out.
uris_to_paths() {
    LC_ALL=C awk '
    function decode(s,    out, i, c, hex) {
        out = ""
        for (i = 1; i <= length(s); i++) {
            c = substr(s, i, 1)
            hex = tolower(substr(s, i + 1, 2))
            if (c == "%" && hex ~ /^[0-9a-f][0-9a-f]$/) {
                out = out sprintf("%c", (index("0123456789abcdef", substr(hex, 1, 1)) - 1) * 16 \
                                        + index("0123456789abcdef", substr(hex, 2, 1)) - 1)
                i += 2
            } else {
                out = out c
            }
        }
        return out
    }
    { sub(/\r$/, "") }
    /^#/ || $0 == "" { next }
    {
        if ($0 ~ /^file:\/\/localhost\//) path = substr($0, 17)
        else if ($0 ~ /^file:\/\/\//) path = substr($0, 8)
        else if ($0 ~ /^file:\/[^\/]/) path = substr($0, 6)
        else next
        if (tolower(path) ~ /%00|%0a/) next
        print decode(path)
    }'
}

case "${1:-}" in
finderSelection)
    clipboard_uris | uris_to_paths
    ;;
*)
    echo "RodudoDedari: no handler named '${1:-}'" >&2
    exit 2
    ;;
esac
