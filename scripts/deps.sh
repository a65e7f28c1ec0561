# Sourced by scripts/run and scripts/test: installs the Debian packages the build needs
# when any of them is missing, so both commands work on a fresh Debian 12 machine.

ORVALEN_RUN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6dbus6 qt6-qpa-plugins qt6-tools-dev qt6-l10n-tools
    libudev-dev libasound2-dev libpng-dev libjpeg-dev zlib1g-dev libsndfile1-dev
    fonts-liberation fonts-urw-base35 fonts-wine qt6-wayland
)
ORVALEN_TEST_PACKAGES=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils trayer openbox imagemagick
    umockdev libumockdev-dev clang-format clang libclang-rt-14-dev sox flac
    dbus dbus-daemon playerctl desktop-file-utils appstream lintian dpkg-dev file man-db weston
    libglib2.0-bin tzdata
    sway waybar libwayland-dev wayland-protocols at-spi2-core python3-pyatspi
    pipewire wireplumber pipewire-alsa pipewire-bin pipewire-pulse libasound2-plugins
)

orvalen_install() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}
