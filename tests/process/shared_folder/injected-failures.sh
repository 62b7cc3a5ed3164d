# Each failure of the file layer ends the run as it should: where writing in place can do
# without what failed, the run does so; otherwise its status and diagnostic tell, and fort.50
# keeps its old result.
descriptors the failures are those of descriptors
need strace; native "strace would fail the emulator's calls"
ln -s a.dat hlext.dat
# A result written over a longer one from the start and not cut to its length.
{ cat a.expected; tail -c +$(($(wc -c <a.expected) + 1)) b.expected; } >mixed
# Sets fort.50 up to be replaced, written in place (a second link) or read from a FIFO.
prepare() {
  rm -f fort.50 second.50 got
  case $1 in
    fifo) mkfifo fort.50; cat fort.50 >got & ;;
    in-place) cp b.expected fort.50; ln fort.50 second.50 ;;
    *) cp b.expected fort.50 ;;
  esac
}
# The call; which of its calls to fail: the first or the last of those on the file the path
# names (- for any file) whose trace line holds the text; the error; how fort.50 is written; the
# status; fort.50 afterwards (- for a FIFO: what its reader got); and the end of the last line
# of standard error (- for none). Calls are counted on the one file where one is named, since a
# sanitizer's runtime makes calls of its own.
while read -r call which path text error place status result message; do
  if [ "$call$text" = closeO_EXCL ] && [ -n "$ASAN_OPTIONS" ]; then
    continue  # a sanitized run closes descriptors of its own, a varying number of them
  fi
  on=""; [ "$path" = - ] || on="-P $path"
  prepare "$place"
  traced -o trace $on -e trace="openat,$call" "$HLEXT1" >/dev/null 2>&1; wait
  line=$text
  if [ "$path" = - ] && [ "$call" = close ]; then  # the descriptor of the file opened so
    line="^close($(grep "^openat(.*$text" trace | tail -1 | sed 's/.*= //'))"
  fi
  at=$(grep -e "^$call(" trace | grep -n -e "$line" | "$which" -1 | cut -d: -f1)
  [ -n "$at" ] || { echo "no $text in the trace of $call"; exit 1; }
  prepare "$place"
  traced -o /dev/null $on -e trace="$call" -e inject="$call:error=$error:when=$at" "$HLEXT1" \
    >/dev/null 2>err
  got=$?; wait
  if [ "$result" = - ]; then seen=got; result=a.expected; else seen=fort.50; fi
  if [ "$message" = - ]; then [ ! -s err ]; else tail -1 err | grep -q -e "$message\$"; fi
  if [ $? != 0 ] || [ $got != "$status" ] || ! cmp -s "$seen" "$result" || ! no_new_files; then
    echo "$call $at failing with $error ($place): status $got, $(tail -1 err)"; exit 1
  fi
done <<'ROWS'
openat head - O_EXCL EIO replace 2 b.expected write failed: Input/output error
openat head - O_EXCL ENFILE replace 2 b.expected write failed: Too many open files in system
openat head - O_EXCL ENOSPC replace 0 a.expected -
openat head - O_EXCL EACCES replace 0 a.expected -
openat head - O_EXCL EEXIST replace 0 a.expected -
rename head - fort.50 EIO replace 2 b.expected cannot replace fort.50: Input/output error
rename head - fort.50 EBUSY replace 0 a.expected -
rename head - fort.50 EXDEV replace 0 a.expected -
fcntl head fort.50 F_SETLK EIO in-place 2 b.expected write failed: Input/output error
flock head fort.50 LOCK_EX EIO in-place 2 b.expected write failed: Input/output error
fallocate head - . EOPNOTSUPP in-place 0 a.expected -
ftruncate head fort.50 . EIO in-place 2 mixed write failed: Input/output error; fort.50 may hold the new result in full or in part
close tail fort.50 . EIO in-place 2 a.expected write failed: Input/output error; fort.50 may hold the new result in full or in part
close tail fort.50 . EIO fifo 2 - write failed: Input/output error
close tail - O_EXCL EIO replace 2 b.expected write failed: Input/output error
write tail fort.50 . ENOSPC in-place 2 b.expected write failed: No space left on device; fort.50 may hold the new result in full or in part
read head hlext.dat . EIO replace 2 b.expected read failed: Input/output error
ROWS
# A new file that the folder does not let go is emptied, and a warning names it.
prepare replace
traced -o /dev/null -e trace=rename,unlink -e inject=rename:error=EXDEV \
  -e inject=unlink:error=EPERM "$HLEXT1" >/dev/null 2>err || exit 1
left=$(ls -A | grep '\.new$')
[ -n "$left" ] && [ ! -s "$left" ] && cmp -s fort.50 a.expected &&
  grep -q "^hlext1: warning: .*: cannot remove the new file $left: Operation not permitted; it is left empty\$" err
