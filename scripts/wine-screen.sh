# Sourced by the Wine scripts that show windows: a virtual screen of their own.
#   wine_screen_start FOLDER WIDTHxHEIGHT
# starts Xvfb (it picks a free display number and writes it into FOLDER/display), exports
# DISPLAY, and on exit stops it and this prefix's Wine server. Returns 1 if no screen came up.
wine_screen_start() {
  local folder="$1" size="$2"
  wine_screen_pid=""
  trap 'wine_screen_stop' EXIT
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$folder/display" >/dev/null 2>&1 &
  wine_screen_pid=$!
  for _ in $(seq 50); do [ -s "$folder/display" ] && break; sleep 0.1; done
  [ -s "$folder/display" ] || return 1
  export DISPLAY=":$(tr -dc '0-9' <"$folder/display")"
}
wine_screen_stop() {
  [ -n "${wine_screen_pid:-}" ] && kill "$wine_screen_pid" 2>/dev/null
  wineserver -k 2>/dev/null
}
