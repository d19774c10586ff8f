#!/usr/bin/env bash
# End-to-end runs of `luxador --console` with the simulated EyeOne.
# Usage: console_e2e.sh BIN_DIR CASE
set -uo pipefail
bin=$(cd "$1" && pwd)
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
base = {"lightingSourceType": "High Color Rendering Type", "colorTemperature": 6500,
        "illuminance": 750, "status": "Measurement complete.", "messages": [],
        "completed": True, "outcome": "measured"}
assert {k: r[k] for k in base} == base, r
# The details beside them.
assert abs(r["planckianTemperature"] - 6500) < 20 and abs(r["duv"]) < 0.01, r
assert r["ra"] > 99 and len(r["ri"]) == 14 and r["r9"] == r["ri"][8], r
assert len(r["spectrum"]["values"]) == 36 and r["verdict"]["illuminance"] is False, r
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
assert r["status"] == "To start a new measurement, run the command again.", r
assert r["outcome"] == "failed", r
PY
    ;;
  cancel-typed)
    # "c" typed while step 1 waits for a button that is never pressed.
    (sleep 0.5; echo c) | QEL_SIM_EYEONE_BUTTON=never timeout 20 "$lux" --console --simulate D65 >"$scratch/out"
    expect_status $? 1
    expect_line "Step 1: Calibration"
    grep -q "Step 2" "$scratch/out" && fail "step 2 shown after cancel"
    expect_line "Lighting Source Type:"
    expect_line "To cancel, type c and press Enter, or press Ctrl-C."
    expect_line "To start a new measurement, run the command again."
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
    expect_line "To start a new measurement, run the command again."
    ;;
  second-instance)
    QEL_SIM_EYEONE_BUTTON=4000 "$lux" --console --simulate D65 </dev/null >"$scratch/first" &
    first=$!
    wait_for "$scratch/first" "Step 1: Calibration"
    "$lux" --console --simulate D65 </dev/null >"$scratch/out" 2>"$scratch/err"
    expect_status $? 3
    grep -q "already running" "$scratch/err" || fail "second instance did not say why"
    "$lux" --console --json --simulate D65 </dev/null >"$scratch/out" 2>/dev/null
    expect_status $? 3
    python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))
assert r["outcome"] == "already-running" and r["completed"] is False, r' "$scratch/out" ||
      fail "no JSON from the second instance"
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
    # Usage errors on standard error with status 2, --help on standard output with 0.
    for args in "--console --lux 300" "--console --simulate nowhere.txt" "--frobnicate"; do
      # shellcheck disable=SC2086
      "$lux" $args >"$scratch/out" 2>"$scratch/err"
      expect_status $? 2
      [ -s "$scratch/out" ] && fail "$args: output on standard output"
      grep -q "^luxador: " "$scratch/err" || fail "$args: no error on standard error"
    done
    "$lux" --help >"$scratch/out" 2>"$scratch/err"
    expect_status $? 0
    grep -q "^usage: luxador" "$scratch/out" || fail "--help: no usage on standard output"
    [ -s "$scratch/err" ] && fail "--help wrote to standard error"
    # Source names in any letter case.
    "$lux" --console --simulate f11 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "Lighting Source Type: Three Band Type"
    ;;
  bad-spectrum-files)
    # Refused when the arguments are read, naming the file and the line at fault.
    printf '' >"$scratch/empty.txt"
    printf '# only a comment\n\n' >"$scratch/comments.txt"
    printf '400 1\n410 one\n' >"$scratch/words.txt"
    printf '400 1\n410 2\n405 3\n' >"$scratch/descending.txt"
    while read -r file where; do
      QEL_SIM_EYEONE_BUTTON=never timeout 10 "$lux" --console --simulate "$file" </dev/null \
        >"$scratch/out" 2>&1
      expect_status $? 2
      grep -qF -- "$where" "$scratch/out" || fail "$file: does not name $where"
    done <<FILES
$scratch/empty.txt $scratch/empty.txt:
$scratch/comments.txt $scratch/comments.txt:
$scratch/words.txt $scratch/words.txt:2:
$scratch/descending.txt $scratch/descending.txt:3:
/dev/null /dev/null:
$scratch $scratch:
FILES
    ;;
  failed-measurements)
    # A colour library lacking the functions the program binds, and a reading that
    # overflows: failed measurements, not results.
    ln -s "$bin/libvocasel.so" "$scratch/libchromel32.so"
    QEL_MODULE_PATH=$scratch "$lux" --console --simulate D65 </dev/null >"$scratch/out" \
      2>"$scratch/err"
    expect_status $? 1
    grep -qxF "Could not conduct the measurement." "$scratch/err" || fail "no message 207"
    expect_line "Color Temperature:"
    "$lux" --console --json --simulate D65 --lux 1e41 </dev/null >"$scratch/out" 2>/dev/null
    expect_status $? 1
    python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))
assert r["outcome"] == "failed" and r["colorTemperature"] is None, r
assert r["messages"] == ["Could not conduct the measurement."], r' "$scratch/out" ||
      fail "an overflowing reading was shown"
    # No light at all is still a measurement.
    "$lux" --console --simulate D65 --lux 0 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "Illuminance: 300 lx"
    ;;
  endless-input)
    # An input that never runs dry does not hold the cancel check.
    timeout 20 "$lux" --console --simulate D65 </dev/zero >"$scratch/out"
    expect_status $? 0
    expect_line "Measurement complete."
    ;;
  eucjp)
    LANG=ja_JP.eucJP "$lux" --console --simulate F11 </dev/null >"$scratch/out"
    expect_status $? 0
    python3 -c 'import sys; text = open(sys.argv[1], "rb").read().decode("euc_jp")
assert "光源タイプ: 3波長形\n" in text and "測定が完了しました。" in text, text' "$scratch/out" ||
      fail "not EUC-JP text"
    ;;
  verdict)
    # source, lux, then pass or fail overall and per target: illuminance, white, Ra, R9.
    while read -r source level overall illuminance white ra r9; do
      "$lux" --console --json --simulate "$source" --lux "$level" </dev/null >"$scratch/out"
      expect_status $? 0
      python3 -c 'import json, sys
v = json.load(open(sys.argv[1]))["verdict"]
got = [v[k] for k in ("pass", "illuminance", "white", "ra", "r9")]
want = [w == "pass" for w in sys.argv[2:]]
assert got == want, (got, want)' "$scratch/out" $overall $illuminance $white $ra $r9 ||
        fail "$source at $level lx: verdict"
    done <<'VERDICTS'
D50 500 pass pass pass pass pass
F11 500 fail pass fail fail fail
A 200 fail fail fail pass pass
VERDICTS
    # The options move the targets: F11 at 700 lx passes a 4000K white, 800±200 lx and Ra 80,
    # and still fails on R9.
    "$lux" --console --simulate F11 --lux 700 --target-lux 800+-200 --target-white 4000K \
      --target-ra 80 </dev/null >"$scratch/out"
    expect_status $? 0
    expect_line "Verdict for Color Work: fail"
    expect_line "  Illuminance 700 lx (800 ± 200 lx): pass"
    grep -q "^  White point .* / 4000K (≤ 0.005): pass$" "$scratch/out" || fail "white target"
    grep -q "^  Ra .* (≥ 80): pass$" "$scratch/out" || fail "Ra target"
    for bad in "--target-lux 12x" "--target-white D93" "--target-white 3000K" "--target-ra 101"; do
      # shellcheck disable=SC2086
      "$lux" --console $bad --simulate D65 </dev/null >"$scratch/out" 2>&1
      expect_status $? 2
    done
    ;;
  spectrum-file)
    # The written spectrum reads back, sample for sample, to the JSON report's record.
    "$lux" --console --json --simulate F7 --spectrum "$scratch/f7.csv" </dev/null >"$scratch/out"
    expect_status $? 0
    python3 -c 'import csv, json, sys
s = json.load(open(sys.argv[1]))["spectrum"]
rows = [r for r in csv.reader(open(sys.argv[2])) if not r[0].startswith("#")]
assert [int(r[0]) for r in rows] == [s["start"] + i * s["interval"] for i in range(len(s["values"]))]
assert [float(r[1]) for r in rows] == s["values"] and len(rows) == 36' \
      "$scratch/out" "$scratch/f7.csv" || fail "spectrum file does not match the record"
    "$lux" --console --simulate F7 --spectrum "$scratch/no/such/dir.csv" </dev/null \
      >"$scratch/out" 2>"$scratch/err"
    expect_status $? 1
    grep -q "could not be written" "$scratch/err" || fail "no message for the lost spectrum"
    ;;
  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok: $case_name"
