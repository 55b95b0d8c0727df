#!/usr/bin/env bash
# Installs what is missing, builds, makes the sample disc set (once), puts its first disc in a
# simulated drive and starts the installer on it. Without a display it runs a scripted install
# of the whole sample set under Xvfb instead, into out/sample/installed, saves a screenshot of
# every screen into out/sample/screens/ and says whether every installed file matches the master.
set -euo pipefail
cd "$(dirname "$0")"
root="$PWD"

./tools/install-deps.sh
cmake -S . -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >build.configure.log 2>&1 \
  || { cat build.configure.log; exit 1; }
cmake --build build -j "$(nproc)" --target volatra_installer volatra_sample_master volatra_make_installer

# The builder refuses paths holding "copy", ':' or '\'; a clone in such a folder keeps its sample
# in the user's cache instead. Master and discs share one file system, for the hard links.
sample="$root/out/sample"
case "$sample" in
  *copy* | *:* | *\\*) sample="${XDG_CACHE_HOME:-$HOME/.cache}/volatra/sample" ;;
esac

if [ ! -f "$sample/complete" ]; then
  echo "Making the sample master and the sample disc set in $sample"
  rm -rf "$sample"
  mkdir -p "$sample/discs"
  build/tools/volatra_sample_master "$sample/master" >/dev/null
  # A lowered disc limit spreads the sample over three discs.
  build/tools/volatra_make_installer --src "$sample/master" --dst "$sample/discs" --disc-kb 350 --terminal \
    </dev/null >"$sample/build.log"
  touch "$sample/complete"
fi

# The drive: a link in the volumes folder; each eject puts the next disc in.
mkdir -p "$sample/volumes"
tools/disc_changer.sh load "$sample/volumes" "$sample/discs"
export VOLATRA_TEST_VOLUMES="$sample/volumes"
export VOLATRA_EJECT_COMMAND="$root/tools/disc_changer.sh"
installer="$root/build/wizard/volatra_installer"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the installer on the sample disc set (disc 1 of 3 is in the drive)."
  exec "$installer"
fi

# No display: the scripted install, with its own home, preferences and temporary folder.
echo "No display: installing the sample set under Xvfb into $sample/installed"
run="$sample/run"
rm -rf "$run" "$sample/installed" "$sample/screens"
mkdir -p "$run/home/.config" "$run/tmp" "$sample/screens"
# The sample folder is this run's desktop: the default place of a new copy, and of the log.
printf 'XDG_DESKTOP_DIR="%s"\n' "$sample" >"$run/home/.config/user-dirs.dirs"
shots="$sample/screens"
cat >"$run/script.txt" <<EOF
wait_log "WIZARD entered dvd_start"
wait_log "Disc read:"
shot $shots/01-start.png
click 720 23
wait_log "WIZARD entered dvd_pick_install"
click 755 204
$(for i in $(seq 40); do echo "key Backspace"; done)
type installed
sleep 0.5
shot $shots/02-destination.png
click 720 23
wait_log "WIZARD entered dvd_eula_install"
click 230 103
sleep 0.5
shot $shots/03-licence.png
click 720 23
wait_log "WIZARD entered dvd_scenery_install"
sleep 0.5
shot $shots/04-scenery.png
click 720 23
shot $shots/05-install.png
wait_log "WIZARD entered dvd_run_install"
wait_log "WIZARD entered dvd_switch_disk_install" 120
shot $shots/06-change-disc.png
click 720 23
wait_log "WIZARD entered dvd_switch_disk_install" 120
click 720 23
wait_log "WIZARD entered dvd_done_install" 120
shot $shots/07-finished.png
click 695 23
EOF
env -i PATH="$PATH" HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config" TMPDIR="$run/tmp" \
  VOLATRA_TEST_VOLUMES="$VOLATRA_TEST_VOLUMES" VOLATRA_EJECT_COMMAND="$VOLATRA_EJECT_COMMAND" \
  VOLATRA_INPUT_SCRIPT="$run/script.txt" SDL_VIDEODRIVER=x11 \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$installer" >"$run/stdout.txt" 2>&1 \
  || { echo "The scripted install failed; see $run/ and the log in $sample/"; tail -5 "$run/stdout.txt"; exit 1; }

echo "Screenshots: $shots/"
python3 - "$sample/master" "$sample/installed" "$run/tmp" <<'PY'
import glob, hashlib, os, sys
master, installed, tmp = sys.argv[1:]
# The manifest the installer read names every file of this platform (1) and of all (0).
manifest = glob.glob(os.path.join(tmp, "*", "directory.txt"))[0]
def md5(p):
    h = hashlib.md5()
    with open(p, "rb") as f:
        for b in iter(lambda: f.read(1 << 20), b""):
            h.update(b)
    return h.hexdigest()
folder, checked, bad = "", 0, []
for line in open(manifest, encoding="utf-8", errors="surrogateescape"):
    line = line.rstrip("\r\n")
    word = line.lstrip(" \t").split(" ", 1)
    if word[0] == "DIR":
        folder = word[1] if len(word) > 1 else ""
    elif word[0] == "FILE":
        f = word[1].split(" ", 6)  # (unused), platform, release, archive KB, KB, MD5 or GONE, name
        if f[1] not in ("0", "1") or f[5] == "GONE":
            continue
        rel = folder + f[6]
        src, dst = os.path.join(master, rel), os.path.join(installed, rel.split("/", 1)[1])
        checked += 1
        if os.path.islink(src):
            ok = os.path.islink(dst) and os.readlink(dst) == os.readlink(src)
        else:
            ok = os.path.isfile(dst) and not os.path.islink(dst) and md5(dst) == md5(src)
        if not ok:
            bad.append(rel)
if bad:
    print("%d of %d installed files differ from the master or are missing:" % (len(bad), checked))
    for b in bad[:20]:
        print("  " + b)
    sys.exit(1)
print("Installed into %s: all %d files match the master." % (installed, checked))
PY
