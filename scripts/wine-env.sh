# Sourced with NEBCM_WINE_ROOT set: isolated, quiet Wine settings for that prefix root: own HOME and WINEPREFIX, 32-bit,
# no Mono, Gecko or menu builder.
nebcm_wine_root=$NEBCM_WINE_ROOT
export HOME="$nebcm_wine_root/home"
export WINEPREFIX="$nebcm_wine_root/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Never the developer's own display: only a private one handed over by scripts/with-xvfb.sh.
unset DISPLAY WAYLAND_DISPLAY
if [ -n "${NEBCM_DISPLAY:-}" ]; then
  export DISPLAY="$NEBCM_DISPLAY"
fi
