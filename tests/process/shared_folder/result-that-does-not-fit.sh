# The old result stays when the new one cannot fit: a file-size limit, and a full device
# (written in place both, as a second link makes it).
descriptors a stream reserves no room
ln -s c.dat hlext.dat; cp a.expected fort.50; ln fort.50 second.50
# Standard error goes through a pipe: the limit is for files.
(ulimit -f 0; "$HLEXT1" 2>&1 >/dev/null; echo "status $?") | cat >err
cmp -s fort.50 a.expected && grep -q 'write failed: File too large$' err && grep -qx 'status 2' err ||
  exit 1
need_mount "mount a small file system"
unshare -m sh -c 'mkdir full && mount -t tmpfs -o size=64k tmpfs full && cd full &&
  ln -s ../c.dat hlext.dat && cp ../a.expected fort.50 && ln fort.50 second.50 &&
  { head -c 1000000 /dev/zero >filler 2>/dev/null; true; } &&
  { "$HLEXT1" >/dev/null 2>../err; echo $? >../status; } && cmp -s fort.50 ../a.expected &&
  touch ../kept' || exit 1
[ "$(cat status)" = 2 ] && [ -e kept ] && grep -q 'write failed: No space left on device$' err
