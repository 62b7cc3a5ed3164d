# Files an earlier run or another program left beside fort.50 do not stop a run. New files that
# runs killed before their rename left are removed by the next run, with one warning; the new
# file of a run that is still going is not.
ln -s a.dat hlext.dat; cp b.expected fort.50
for name in .fort.50 .fort.50.new .fort.50..new; do echo left >"$name"; done
"$HLEXT1" >/dev/null && cmp -s fort.50 a.expected || exit 1
[ "$(cat .fort.50 .fort.50.new .fort.50..new)" = "left
left
left" ] && [ "$(ls -A | grep -c '^\.fort\.50')" = 3 ] || exit 1
descriptors a stream marks no file as in use; need strace
native "strace would hold the emulator's calls"
# A run killed at a call of the commit between the new file's making and its rename leaves
# it; the next run removes it, whatever call it is killed at itself.
cp b.expected fort.50
for call in flock fchmod rename; do
  rm -f trace
  traced -o trace -e trace=$call -e inject=$call:delay_enter=1500000 \
    sh -c 'echo $$ >pid; exec "$HLEXT1" >/dev/null 2>&1' 2>/dev/null &
  traced=$!
  wait_for -e trace
  tries=0
  until grep -q "^$call(" trace; do
    tries=$((tries + 1)); [ $tries -le 500 ] || { echo "no $call"; exit 1; }; sleep 0.02
  done
  kill -KILL "$(cat pid)"; wait $traced
  [ "$(ls -A | grep -c '\.fort\.50\.[0-9a-f]\{12\}\.new$')" = 1 ] && cmp -s fort.50 b.expected ||
    { echo "killed at $call: $(ls -A | grep -c '\.new$') new files"; exit 1; }
done
# A run held before its rename keeps its new file while another run goes by.
rm -f trace
traced -o trace -e trace=rename -e inject=rename:delay_enter=1500000 "$HLEXT1" >/dev/null 2>held &
held=$!
wait_for -e trace
until grep -q "^rename(" trace; do sleep 0.02; done
"$HLEXT1" >/dev/null 2>err || exit 1
wait $held || exit 1
[ ! -s err ] && [ "$(grep -c hlext1 held)" = 1 ] &&
  grep -q "^hlext1: warning: .*(fort.50): removed 1 new file that runs killed before their rename left: \.fort\.50\.[0-9a-f]\{12\}\.new\$" held &&
  [ "$(ls -A | grep -c '\.new$')" = 2 ] && cmp -s fort.50 a.expected
