# Sourced by tools/test.sh and tools/run.sh: installs the Debian packages the build and the
# Wine runs need, only those that are missing, with one `apt-get update` at most.
somnivar_packages=(
    cmake ninja-build g++ python3
    googletest libgtest-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 wine32:i386 xvfb fonts-ipafont fonts-horai-umefont
)

somnivar_install_missing() {
    local missing=() package
    for package in "${somnivar_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null || { echo "not root: install these first: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    # The 32-bit Wine runs the released x86 program; it comes from Debian's i386 architecture.
    dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q "${missing[@]}" </dev/null
}
