# A file system that ignores the mode a file is created with, or fchmod, or fchown (FUSE mounts
# such as bindfs can): the new file does not take on the old one's looks, so fort.50 is
# written in place and keeps its mode and owner.
descriptors a stream keeps no owner or mode
need strace; native "strace would see the emulator's calls"; need_root "give fort.50 to another user"
need_fuse "mount a file system that ignores modes"
mkdir real view; ln -s ../a.dat real/hlext.dat
while read -r options mode; do
  cp b.expected real/fort.50; chown 1001:1001 real/fort.50; chmod "$mode" real/fort.50
  bindfs "$options" real view || exit 1
  (cd view && traced -o ../trace -e trace=rename "$HLEXT1" >/dev/null); status=$?
  umount view
  [ $status = 0 ] && cmp -s real/fort.50 a.expected && ! grep -q '^rename(' trace &&
    [ "$(stat -c '%u:%g %a' real/fort.50)" = "1001:1001 $mode" ] || { echo "bindfs $options"; exit 1; }
done <<'ROWS'
--create-with-perms=a+r 600
--chmod-ignore 640
--chown-ignore 600
ROWS
