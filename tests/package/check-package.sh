#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what it holds and declares.
# Usage: check-package.sh BUILD_DIR OUT_DIR VERSION
set -euo pipefail
build=$1 out=$2 version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
deb=$out/quillora_${version}_amd64.deb
[[ -f $deb ]] || { ls "$out"; echo "FAIL: no $deb"; exit 1; }

# Exactly these files, nothing of the build or the tests.
expected=$(printf '%s\n' ./usr/bin/quillora ./usr/bin/quillora-cli ./usr/share/applications/quillora.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quillora.svg ./usr/share/man/man1/quillora-cli.1.gz \
    ./usr/share/man/man1/quillora.1.gz | sort)
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[[ $files == "$expected" ]] || fail "files differ:"$'\n'"$(diff <(echo "$expected") <(echo "$files"))"

field() { dpkg-deb --field "$deb" "$1"; }
[[ $(field Package) == quillora ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == web ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ -n $(field Description) ]] || fail "no Description"
depends=$(field Depends)
for library in libc6 'libstdc\+\+6' libzxcvbn0 libqt6core6 libqt6gui6 libqt6widgets6 'libicu[0-9]+' qt6-qpa-plugins; do
    [[ $depends =~ (^|, )$library( |,|$) ]] || fail "Depends lacks $library: $depends"
done

# The packaged programs and pages work as installed.
root=$out/root
dpkg-deb --extract "$deb" "$root"
printed=$("$root/usr/bin/quillora-cli" --version)
[[ $printed == "quillora-cli $version" ]] || fail "quillora-cli --version printed '$printed'"
cli_page=$(gzip -dc "$root/usr/share/man/man1/quillora-cli.1.gz")
[[ $cli_page == *'.TH QUILLORA-CLI "1"'* && $cli_page == *'quillora-cli '"$version"* ]] ||
    fail "quillora-cli.1 has no title or version"
[[ $cli_page == *'\-\-copy\-to'* && $cli_page == *'EXIT STATUS'* ]] ||
    fail "quillora-cli.1 lacks the options of --help or the exit status"
window_page=$(gzip -dc "$root/usr/share/man/man1/quillora.1.gz")
[[ $window_page == *".TH QUILLORA 1"*"quillora $version"* ]] || fail "quillora.1 has no title or version"
desktop=$root/usr/share/applications/quillora.desktop
grep -qx 'Exec=quillora' "$desktop" && grep -qx 'Icon=quillora' "$desktop" || fail "desktop entry: no Exec or Icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi

if ((failures)); then
    echo "$failures check(s) failed for $deb"
    exit 1
fi
echo "package: $deb holds and declares what it should ($(stat -c %s "$deb") bytes)"
