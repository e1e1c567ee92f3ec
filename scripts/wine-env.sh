# Sourced with NEBCM_WINE_ROOT set: isolated, quiet Wine settings for that prefix root: own HOME and WINEPREFIX, 32-bit,
# no Mono, Gecko or menu builder.
nebcm_wine_root=$NEBCM_WINE_ROOT
export HOME="$nebcm_wine_root/home"
export WINEPREFIX="$nebcm_wine_root/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
