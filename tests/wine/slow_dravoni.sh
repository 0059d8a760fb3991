# Sourced by the Marlisk Wine scripts: the default machine with its Dravoni drive slowed
# down, written to machine.json, and the drive's interface path in $dravoni.
# Usage: write_slow_dravoni_machine <source dir> <milliseconds a command>
write_slow_dravoni_machine() {
  python3 - "$1/examples/default-machine.json" "$2" > machine.json <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
for drive in machine["drives"]:
    if drive["id"] == "pd1-dravoni":
        drive["command_time_ms"] = int(sys.argv[2])
print(json.dumps(machine))
PY
}
dravoni='\\?\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}'
