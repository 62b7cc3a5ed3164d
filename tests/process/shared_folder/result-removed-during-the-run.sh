# A fort.50 that another program removes while the run reads the listing is made again.
need strace; native "strace would hold the emulator's calls"
ln -s a.dat hlext.dat; cp b.expected fort.50
# Held at its first line on standard output (after fort.50 is opened, before it is written).
traced -o trace -P console -e trace=write -e inject=write:delay_exit=1000000:when=1 "$HLEXT1" \
  >console &
run=$!
tries=0
until grep -q '^write(1,' trace 2>/dev/null; do
  tries=$((tries + 1)); [ $tries -le 500 ] || { echo "no write"; exit 1; }; sleep 0.02
done
rm fort.50
wait $run && cmp -s fort.50 a.expected && no_new_files
