#!/usr/bin/env bash
# Installs the build into an empty temporary prefix and checks what a user or a package gets there: the
# programs and their --version, the description files and examples (and that the installed batch tool runs
# one from another folder, and saves its histogram through the installed module), the desktop entry, icons, AppStream metadata, man pages and bash completion.
# Usage: check-install.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
if ! cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1; then
    cat "$tmp/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

share=$prefix/share
app_id=org.brevant.Procedures
for file in bin/brevant bin/brevant-cli \
    share/brevant/BrevantHelp.txt share/brevant/IndepTHelp.txt share/brevant/OnewayBootHelp.txt \
    share/brevant/examples/IndepT-reaction-times.dat \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/icons/hicolor/scalable/apps/brevant.svg \
    share/icons/hicolor/16x16/apps/brevant.png share/icons/hicolor/48x48/apps/brevant.png \
    share/icons/hicolor/256x256/apps/brevant.png \
    share/man/man1/brevant.1.gz share/man/man1/brevant-cli.1.gz \
    share/bash-completion/completions/brevant-cli; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for program in brevant brevant-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
# Every description file and example of the source tree, and nothing of the build's own.
source_help=$(cd "$(dirname "$0")/../../help" && pwd)
for file in "$source_help"/*.txt "$source_help"/examples/*; do
    cmp -s "$file" "$share/brevant/${file#"$source_help"/}" || fail "share/brevant/${file#"$source_help"/} differs"
done

# The PNG icons are the size their folder names.
if command -v file > /dev/null; then
    for size in 16 24 32 48 64 128 256; do
        file "$share/icons/hicolor/${size}x$size/apps/brevant.png" | grep -q "PNG image data, $size x $size" ||
            fail "the ${size}x$size icon is not a $size x $size PNG"
    done
fi

# One version, the project's, from both programs (the window program answers without a display).
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/brevant" --version)" = "brevant (Brevant Procedures) $version" ] ||
    fail "brevant --version does not answer $version"
[ "$("$prefix/bin/brevant-cli" --version)" = "brevant-cli $version" ] || fail "brevant-cli --version does not answer $version"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/brevant" --help | grep -q -- "--version" || fail "brevant --help"

# The installed batch tool runs an installed example from another folder, and writes where it is told.
mkdir "$tmp/elsewhere"
if (cd "$tmp/elsewhere" && "$prefix/bin/brevant-cli" IndepT "$share/brevant/examples/IndepT-reaction-times.dat" \
    --resamples 200 --seed 1,2,3 --output out.dat > run.txt 2> run.err); then
    grep -q "^Seeds: 1,2,3$" "$tmp/elsewhere/run.txt" || fail "the installed example run printed no seeds"
    [ "$(wc -l < "$tmp/elsewhere/out.dat")" -eq 200 ] || fail "the installed example run did not write 200 values"
else
    cat "$tmp/elsewhere/run.err" >&2
    fail "the installed brevant-cli did not run the installed IndepT example"
fi
# The batch tool links no Qt library; the installed histogram module paints its pictures and report pages.
if ldd "$prefix/bin/brevant-cli" | grep -q libQt6; then fail "brevant-cli links Qt"; fi
if (cd "$tmp/elsewhere" && "$prefix/bin/brevant-cli" IndepT "$share/brevant/examples/IndepT-reaction-times.dat" \
    --resamples 200 --seed 1,2,3 --histogram h.png --report r.html > /dev/null 2> run.err); then
    file "$tmp/elsewhere/h.png" | grep -q "PNG image data, 960 x 800" || fail "the installed histogram is not a 960 x 800 PNG"
    grep -q "Obtained t = " "$tmp/elsewhere/r.html" || fail "the installed report has no plot"
else
    fail "the installed brevant-cli did not save a histogram and report: $(cat "$tmp/elsewhere/run.err")"
fi
# An example's procedure is named first in its file name: every one runs.
for example in "$share"/brevant/examples/*.dat; do
    name=$(basename "$example")
    (cd "$tmp/elsewhere" && "$prefix/bin/brevant-cli" "${name%%-*}" "$example" --resamples 50 --seed 1,2,3 \
        > /dev/null 2> run.err) || fail "brevant-cli ${name%%-*} $name: $(cat "$tmp/elsewhere/run.err")"
done

if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
else
    echo "note: desktop-file-validate is not installed; the desktop entry was not validated"
fi
grep -qx "Categories=Education;Science;Math;" "$share/applications/$app_id.desktop" || fail "desktop categories"
if command -v appstreamcli > /dev/null; then
    appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
else
    echo "note: appstreamcli is not installed; the AppStream metadata were not validated"
fi
grep -q "<release version=\"$version\"" "$share/metainfo/$app_id.metainfo.xml" || fail "metainfo release $version"

# The man pages render without a warning, with the version and the installed example folder in them.
for page in brevant brevant-cli; do
    if LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$share/man/man1/$page.1.gz" > "$tmp/$page.txt" \
        2> "$tmp/$page.err" && [ ! -s "$tmp/$page.err" ]; then
        grep -q "Brevant Procedures $version" "$tmp/$page.txt" || fail "man $page has no version $version"
        grep -q "share/brevant/examples/" "$tmp/$page.txt" || fail "man $page does not name the installed examples"
    else
        cat "$tmp/$page.err" >&2
        fail "man -l $page.1.gz does not render cleanly"
    fi
done
# The batch tool's page names every procedure and every option its --help lists.
procedures=$("$prefix/bin/brevant-cli" --help | sed -n 's/^Procedures (window names, any case): \(.*\)\.$/\1/p' | tr -d ,)
[ -n "$procedures" ] || fail "brevant-cli --help lists no procedures"
options=$("$prefix/bin/brevant-cli" --help | grep -o -- '--[a-z]\+\(-[a-z]\+\)*' | sort -u)
for word in $procedures $options; do
    grep -q -- "$word" "$tmp/brevant-cli.txt" || fail "man brevant-cli does not name $word"
done

# Bash completion offers the procedures, the options and the data files.
completion=$share/bash-completion/completions/brevant-cli
if [ -r /usr/share/bash-completion/bash_completion ]; then
    mkdir "$tmp/completing" && touch "$tmp/completing/groups.dat" "$tmp/completing/notes.txt" "$tmp/completing/hist.svg" "$tmp/completing/report.html"
    complete_words() {  # the words of the command line, the last being completed
        (cd "$tmp/completing" && bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$1"; shift
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _comp_brevant_cli brevant-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$completion" "$@")
    }
    expect_completion() {  # EXPECTED (lines joined by spaces) WORDS...
        local expected=$1; shift
        local got
        got=$(complete_words "$@" | tr '\n' ' ' | sed 's/ $//')
        [ "$got" = "$expected" ] || fail "completing '$*': got '$got', expected '$expected'"
    }
    expect_completion "$(printf '%s\n' $procedures | sort | tr '\n' ' ' | sed 's/ $//')" brevant-cli ""
    expect_completion "BootstCorr BootstMean BootstMedian" brevant-cli Boo
    expect_completion "groups.dat" brevant-cli IndepT ""
    expect_completion "groups.dat" brevant-cli --resamples 100 IndepT ""
    expect_completion "" brevant-cli IndepT groups.dat no
    expect_completion "90 95 99" brevant-cli IndepT groups.dat --confidence ""
    expect_completion "hist.svg" brevant-cli IndepT groups.dat --histogram ""
    expect_completion "report.html" brevant-cli IndepT groups.dat --report ""
    expect_completion "--resamples" brevant-cli IndepT --res
    expect_completion "$(printf '%s\n' $options | sort | tr '\n' ' ' | sed 's/ $//')" brevant-cli -
else
    bash -n "$completion" || fail "the bash completion does not parse"
    echo "note: bash-completion is not installed; completion was only parsed"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree checked: $prefix"
