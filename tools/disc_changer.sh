#!/bin/sh
# A disc changer for machines without a drive: one symbolic link in a volumes folder (the folder
# VOLATRA_TEST_VOLUMES names) stands for the drive and points at the disc that is "in" it.
#
#   disc_changer.sh load VOLUMES DISCS [ORDER...]
#       puts the first disc of ORDER (numbers N of DISCS/disk_N; default 0 1 2 ...) in the drive
#       VOLUMES/DVD and remembers DISCS and ORDER in VOLUMES/.disc_changer
#   disc_changer.sh MOUNT_POINT
#       as VOLATRA_EJECT_COMMAND: "ejects" the disc at MOUNT_POINT (VOLUMES/DVD) and puts the next
#       disc of ORDER in, starting over after the last; each eject adds a line to
#       VOLUMES/.disc_changer.log
set -eu

usage() {
  echo "usage: $0 load VOLUMES DISCS [ORDER...] | $0 MOUNT_POINT" >&2
  exit 2
}

# Points VOLUMES/DVD at DISCS/disk_N without a moment in which the link is missing.
insert() {  # volumes discs n
  ln -s "$2/disk_$3" "$1/.DVD.new"
  mv -T -f "$1/.DVD.new" "$1/DVD"
}

[ $# -ge 1 ] || usage
if [ "$1" = load ]; then
  [ $# -ge 3 ] || usage
  volumes=$(cd "$2" && pwd)
  discs=$(cd "$3" && pwd)
  shift 3
  order="$*"
  if [ -z "$order" ]; then
    n=0
    while [ -d "$discs/disk_$n" ]; do order="$order $n"; n=$((n + 1)); done
  fi
  [ -n "$order" ] || { echo "$0: no disk_N folder in $discs" >&2; exit 1; }
  set -- $order
  rm -f "$volumes/DVD" "$volumes/.DVD.new"
  insert "$volumes" "$discs" "$1"
  printf '%s\n%s\n%s\n' "$discs" "$order" 0 >"$volumes/.disc_changer"
  : >"$volumes/.disc_changer.log"
  exit 0
fi

mount_point=${1%/}
volumes=$(dirname "$mount_point")
state="$volumes/.disc_changer"
[ -f "$state" ] || { echo "$0: $mount_point is not a changer's drive" >&2; exit 1; }
discs=$(sed -n 1p "$state")
order=$(sed -n 2p "$state")
pos=$(sed -n 3p "$state")
set -- $order
count=$#
pos=$(((pos + 1) % count))
shift "$pos"
echo "eject $(readlink "$volumes/DVD"), insert disk_$1" >>"$volumes/.disc_changer.log"
insert "$volumes" "$discs" "$1"
printf '%s\n%s\n%s\n' "$discs" "$order" "$pos" >"$state"
