# The old result stays when the new one cannot fit: a limit of the process, and a full device
# (written in place, as a second link makes it, or replaced). Written in place, the result goes
# over the old one in the room the file has, reserved or found free, and the file is never
# emptied first.
descriptors a stream reserves no room
need perl prlimit
ln -s c.dat hlext.dat
# Runs its arguments with five descriptors at most, none of them but 0, 1 and 2 inherited.
fivedescriptors() { perl -MPOSIX -e 'POSIX::close($_) for 3 .. 1023; exec @ARGV' prlimit --nofile=5 "$@"; }
# The limit, set by a command before the run or one that runs it (_ for a space); how fort.50
# is written; the status; and the end of standard error (- for none).
while read -r limit place status message; do
  if [ "$limit" = fivedescriptors ] && [ -n "$ASAN_OPTIONS$HLEXT1_EMULATOR" ]; then
    continue  # a sanitizer's runtime, or an emulator, needs descriptors of its own
  fi
  cp a.expected fort.50; rm -f second.50; [ "$place" = in-place ] && ln fort.50 second.50
  # Standard error goes through a pipe: the limit is for files.
  (eval "$(echo "$limit" | tr _ ' ') \"\$HLEXT1\" 2>&1 >/dev/null"; echo "status $?") | cat >err
  if [ "$status" = 0 ]; then result=c.expected; else result=a.expected; fi
  if [ "$message" = - ]; then ! grep -q hlext1 err; else grep -q -e "$message\$" err; fi
  if [ $? != 0 ] || ! grep -qx "status $status" err || ! cmp -s fort.50 $result || ! no_new_files
  then
    echo "under $limit ($place): $(cat err)"; exit 1
  fi
done <<'ROWS'
ulimit_-f_0; in-place 2 write failed: File too large
prlimit_--fsize=1 replace 2 write failed: File too large
fivedescriptors replace 0 -
ROWS
need_mount "mount a small file system"; need strace
native "strace would hold the emulator's calls"
mkdir full
# A file system (a tmpfs, or an ext2 image, which can reserve nothing) of `size`, filled; fort.50
# holds `old` (same: as many bytes as the new result); a second writer fills the room left
# while the run is held at its first write to fort.50 (- for none). The run's status, standard
# error and fort.50 are kept outside.
while read -r type size old place writer status; do
  rm -f status err; [ "$type" = ext2 ] && { need mkfs.ext2; truncate -s "$size" image &&
    mkfs.ext2 -q -m 0 image 2>/dev/null || skip "cannot make an ext2 image"; }
  case $old in same) head -c "$(wc -c <c.expected)" /dev/zero | tr '\0' x >old ;; *) cp "$old" old ;; esac
  unshare -m sh -c 'type=$1 size=$2 place=$3 writer=$4
    if [ "$type" = ext2 ]; then mount -o loop image full 2>/dev/null || exit 3
    else mount -t tmpfs -o "size=$size" tmpfs full; fi
    cd full && ln -s ../c.dat hlext.dat && cp ../old fort.50 || exit 1
    [ "$place" = in-place ] && ln fort.50 second.50
    { head -c 2000000 /dev/zero >filler 2>/dev/null; true; }
    if [ "$writer" = - ]; then "$HLEXT1" >/dev/null 2>../err; echo $? >../status
    else
      rm -f filler; head -c $(($(df -B1 --output=avail . | tail -1) - 8192)) /dev/zero >filler
      ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        strace -o ../trace -P fort.50 -e trace=write -e inject=write:delay_enter=1000000 \
        "$HLEXT1" >/dev/null 2>../err &
      tries=0; until grep -q "^write(" ../trace 2>/dev/null; do
        tries=$((tries + 1)); [ $tries -le 500 ] || exit 1; sleep 0.02; done
      { head -c 2000000 /dev/zero >filler2 2>/dev/null; true; }
      wait $!; echo $? >../status
    fi
    cp fort.50 ../got; ls -A | grep -q "\.new$" && exit 1; true' sh "$type" "$size" "$place" "$writer"
  case $? in 0) ;; 3) skip "cannot mount a loop device" ;; *) exit 1 ;; esac
  if [ "$status" = 0 ]; then result=c.expected; else result=old; fi
  if [ "$(cat status)" != "$status" ] || ! cmp -s got $result; then
    echo "$type full ($old, $place, $writer): status $(cat status), $(cat err)"; exit 1
  fi
  [ "$status" = 0 ] || grep -q 'write failed: No space left on device$' err || exit 1
done <<'ROWS'
tmpfs 64k a.expected in-place - 2
tmpfs 64k a.expected replace - 2
tmpfs 64k same in-place - 0
tmpfs 256k a.expected in-place second-writer 0
ext2 1M a.expected in-place - 2
ext2 1M same in-place - 0
ROWS
