#!/usr/bin/env bash
# End-to-end runs of `luxador --console` with the simulated EyeOne.
# Usage: console_e2e.sh BIN_DIR CASE
set -uo pipefail
bin=$1
case_name=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Each case claims its own single-instance lock.
export XDG_RUNTIME_DIR=$scratch
unset LC_ALL LC_MESSAGES
export LANG=C.UTF-8
export QEL_SIM_EYEONE_BUTTON=${QEL_SIM_EYEONE_BUTTON:-20}
unset QEL_MODULE_PATH
lux=$bin/luxador

fail() { echo "FAIL: $*" >&2; echo "--- output:" >&2; cat "$scratch/out" >&2; exit 1; }
expect_line() { grep -qxF -- "$1" "$scratch/out" || fail "missing line: $1"; }
expect_status() { [ "$1" -eq "$2" ] || fail "exit status $1, expected $2"; }
# Waits until FILE holds TEXT (at most 60 s).
wait_for() {
  for _ in $(seq 600); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "timed out waiting for \"$2\""
}

case $case_name in
  lamps)
    # source, lux, type, kelvin shown, lux shown: the lamps' published colour temperatures,
    # seen through the simulated instrument's 10 nm band.
    while read -r source level type kelvin shown; do
      "$lux" --console --simulate "$source" --lux "$level" </dev/null >"$scratch/out"
      expect_status $? 0
      expect_line "Lighting Source Type: ${type//_/ }"
      expect_line "Color Temperature: $kelvin K"
      expect_line "Illuminance: $shown lx"
      expect_line "Measurement complete."
    done <<'LAMPS'
D65 500 High_Color_Rendering_Type 6500 500
A 1200 High_Color_Rendering_Type 2900 1000
C 580 High_Color_Rendering_Type 6800 600
D50 80 High_Color_Rendering_Type 5000 300
F1 500 Normal_Type 6400 500
F2 700 Normal_Type 4200 700
F3 500 Normal_Type 3500 500
F4 500 Normal_Type 2900 500
F5 500 Normal_Type 6300 500
F6 500 Normal_Type 4100 500
F7 500 High_Color_Rendering_Type 6500 500
F8 500 High_Color_Rendering_Type 5000 500
F9 500 High_Color_Rendering_Type 4100 500
F10 500 Three_Band_Type 5000 500
F11 524.9 Three_Band_Type 4000 500
F12 500 Three_Band_Type 3000 500
LAMPS
    ;;
  incompatible)
    # A narrow-band light (an amber LED at 1 nm) resembles no lamp.
    python3 -c 'import math
for nm in range(380, 781): print(nm, math.exp(-((nm - 590) / 8) ** 2))' >"$scratch/amber.txt"
    "$lux" --console --simulate "$scratch/amber.txt" --lux 300 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "Lighting Source Type: Incompatible"
    grep -qE '^Color Temperature: [0-9]+ K$' "$scratch/out" || fail "no rounded temperature"
    expect_line "Illuminance: 300 lx"
    expect_line "These measurement results cannot be used for color adjustment based on the ambient light."
    ;;
  json)
    "$lux" --console --json --simulate D65 --lux 750 </dev/null >"$scratch/out" 2>"$scratch/err"
    expect_status $? 0
    python3 - "$scratch/out" <<'PY' || fail "unexpected JSON"
import json, sys
r = json.load(open(sys.argv[1]))
assert r == {"lightingSourceType": "High Color Rendering Type", "colorTemperature": 6500,
             "illuminance": 750, "status": "Measurement complete.", "messages": [],
             "completed": True}, r
PY
    grep -q "Step 2: Measurement" "$scratch/err" || fail "step texts not on standard error"
    ;;
  no-instrument)
    "$lux" --console --json </dev/null >"$scratch/out" 2>&1
    expect_status $? 1
    python3 - "$scratch/out" <<'PY' || fail "unexpected JSON"
import json, sys
r = json.load(open(sys.argv[1]))
assert r["completed"] is False and r["colorTemperature"] is None, r
assert r["messages"] == ["Could not communicate with the sensor."], r
assert r["status"].startswith("To start the measurement process"), r
PY
    ;;
  cancel-typed)
    # "c" typed while step 1 waits for a button that is never pressed.
    (sleep 0.5; echo c) | QEL_SIM_EYEONE_BUTTON=never timeout 20 "$lux" --console --simulate D65 >"$scratch/out"
    expect_status $? 1
    expect_line "Step 1: Calibration"
    grep -q "Step 2" "$scratch/out" && fail "step 2 shown after cancel"
    expect_line "Lighting Source Type:"
    expect_line "To start the measurement process, click the Start Measurement button."
    grep -q "Could not" "$scratch/out" && fail "a cancel shows no message"
    ;;
  cancel-interrupt)
    # Ctrl-C while step 1 waits for a button that is never pressed.
    QEL_SIM_EYEONE_BUTTON=never "$lux" --console --simulate D65 </dev/null >"$scratch/out" &
    pid=$!
    wait_for "$scratch/out" "Step 1: Calibration"
    kill -INT $pid
    wait $pid
    expect_status $? 1
    expect_line "Step 1: Calibration"
    expect_line "Color Temperature:"
    expect_line "To start the measurement process, click the Start Measurement button."
    ;;
  second-instance)
    QEL_SIM_EYEONE_BUTTON=4000 "$lux" --console --simulate D65 </dev/null >"$scratch/first" &
    first=$!
    wait_for "$scratch/first" "Step 1: Calibration"
    "$lux" --console --simulate D65 </dev/null >"$scratch/out" 2>&1
    expect_status $? 3
    grep -q "already running" "$scratch/out" || fail "second instance did not say why"
    wait $first
    expect_status $? 0
    # With the first one gone the name is free again.
    "$lux" --console --simulate D65 </dev/null >"$scratch/out"
    expect_status $? 0
    ;;
  japanese)
    LANG=ja_JP.UTF-8 "$lux" --console --simulate F11 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "光源タイプ: 3波長形"
    expect_line "測定が完了しました。"
    ;;
  german-gets-english)
    LANG=de_DE.UTF-8 "$lux" --console --simulate F11 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "Lighting Source Type: Three Band Type"
    ;;
  usage)
    "$lux" --console --lux 300 >"$scratch/out" 2>&1
    expect_status $? 2
    "$lux" --console --simulate nowhere.txt >"$scratch/out" 2>&1
    expect_status $? 2
    "$lux" --frobnicate >"$scratch/out" 2>&1
    expect_status $? 2
    ;;
  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok: $case_name"
