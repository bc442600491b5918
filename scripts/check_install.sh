#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds the consumer project against it, once
# through its CMake package and once through pkg-config; then builds the Debian package and
# checks what it holds and that its tool runs from an unpacked root.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/install-check
prefix=$(mktemp -d)
scratch=$(mktemp -d)
trap 'rm -rf "$prefix" "$scratch"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVEXA_PACKAGE_BUILD_TESTS=OFF -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF
cmake --build "$build" -j "$(nproc)"
DESTDIR="$prefix" cmake --install "$build"
root="$prefix/usr"

if find "$root" -name '*.capnp.h' | grep -q .; then
    echo "check_install: generated schema headers were installed" >&2
    exit 1
fi

echo "-- consumer through find_package"
cmake -S examples/consumer -B "$scratch/consumer-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$root"
cmake --build "$scratch/consumer-cmake"
"$scratch/consumer-cmake/consumer"

echo "-- consumer through pkg-config"
PKG_CONFIG_PATH="$root/lib/pkgconfig:$root/lib/$(gcc -print-multiarch)/pkgconfig"
export PKG_CONFIG_PATH
# shellcheck disable=SC2046
g++ -o "$scratch/consumer-pkg-config" examples/consumer/main.cpp \
    $(pkg-config --cflags --libs vexa_package)
"$scratch/consumer-pkg-config"

echo "-- shared library with a versioned SONAME"
cmake -S . -B "$build-shared" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DVEXA_PACKAGE_BUILD_TESTS=OFF -DVEXA_PACKAGE_BUILD_EXAMPLES=OFF -DVEXA_PACKAGE_BUILD_TOOLS=OFF
cmake --build "$build-shared" -j "$(nproc)"
soname=$(readelf -d "$build-shared"/src/libvexa_package.so | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
echo "SONAME $soname"
[[ $soname == libvexa_package.so.0.1 ]]

echo "-- Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vexa-package_*.deb)
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
contents=$(dpkg-deb --contents "$deb")
for expected in ./usr/include/vexa_package/vexa_package.hpp ./usr/include/vexa_package/version.hpp \
    vexa_packageConfig.cmake vexa_package.pc libvexa_package.a ./usr/bin/vexa-package \
    ./usr/share/man/man1/vexa-package.1; do
    if ! grep -q -- "$expected" <<<"$contents"; then
        echo "check_install: $expected missing from $deb" >&2
        exit 1
    fi
done
dpkg-deb -x "$deb" "$scratch/deb-root"
"$scratch/deb-root/usr/bin/vexa-package" --version
echo "check_install: ok ($deb)"
