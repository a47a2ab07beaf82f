#!/usr/bin/env bash
# Checks the package list of the README's "Installing" section against what
# the release build (without tests and benchmarks) really uses: every
# pkg-config module the build's CMake files ask for, ALSA, Qt 6 and the
# programs the build and cpack run must come from a package the README's
# apt-get line installs. A module added to the build without its package in
# the README fails here, not on a user's fresh machine.
#
#   readme_packages.sh SOURCE_DIR
set -euo pipefail

SOURCE=$(cd "$1" && pwd)
README=$SOURCE/README.md
fail() { echo "FAIL: $*"; exit 1; }

# The apt-get install line of the Installing section, continuation lines joined.
listed=$(awk '
  /^## Installing/ { section = 1; next }
  section && /^## / { exit }
  section && /apt-get install .*--no-install-recommends/ { taking = 1 }
  taking { line = line " " $0; if ($0 !~ /\\$/) { print line; exit } }
' "$README" | tr -d '\\' | tr ' ' '\n' | grep -v -e '^-' -e '^$' -e '^apt-get$' -e '^install$' | sort -u)
[ -n "$listed" ] || fail "no apt-get install line in the README's Installing section"

# What installing them brings: the packages and everything they depend on
# (pkg-config, say, is a transitional name for pkgconf-bin).
brought=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
            --no-enhances $listed 2>/dev/null | grep -E '^[a-z0-9]' | sort -u)
[ -n "$brought" ] || fail "apt-cache does not know the README's packages"

missing=()
need() {  # need WHAT FILE: the package that holds FILE must come with the README's list
  local what=$1 file=$2 owner
  owner=$(dpkg -S "$file" 2>/dev/null | head -n 1 | cut -d: -f1) || true
  [ -n "$owner" ] || fail "$what: no installed package holds $file"
  grep -qx "$owner" <<<"$brought" || missing+=("$owner (for $what)")
}

# pkg-config modules of the release build: the CMake files outside the tests,
# benchmarks and fuzzers.
modules=$(find "$SOURCE" -name CMakeLists.txt -not -path "*/tests/*" -not -path "*/bench/*" -not -path "*/fuzz/*" \
            -not -path "$SOURCE/build*" -exec grep -h "pkg_check_modules" {} + |
          sed -E 's/.*IMPORTED_TARGET//; s/\).*//' | tr ' ' '\n' | grep -v '^$' | sort -u)
[ -n "$modules" ] || fail "no pkg_check_modules found in the build's CMake files"
for module in $modules alsa; do
  dir=$(pkg-config --variable=pcfiledir "$module") || fail "pkg-config does not know $module"
  need "pkg-config module $module" "$dir/$module.pc"
done
need "Qt 6" "$(find /usr/lib -path "*/cmake/Qt6/Qt6Config.cmake" | head -n 1)"
for program in cmake ninja pkg-config dpkg-shlibdeps file; do
  need "the program $program" "$(readlink -f "$(command -v "$program")")"
done
grep -qx build-essential <<<"$listed" || missing+=("build-essential (the compiler)")

if [ ${#missing[@]} -gt 0 ]; then
  printf '  %s\n' "${missing[@]}"
  fail "the README's package list lacks what the build needs (above)"
fi
echo "PASS: the README's package list holds everything the release build needs: $(echo $listed)"
