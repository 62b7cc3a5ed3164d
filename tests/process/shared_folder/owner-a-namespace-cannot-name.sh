# Root in a user namespace that maps only ids 0 and 65534 (a rootless container) sees another
# user's fort.50 as owned by the overflow id, 65534; it writes the file in place, so the owner
# stays, rather than giving a new file the overflow id. A fort.50 of an id it maps is replaced.
descriptors a stream keeps no owner
need python3; need_root "give fort.50 to another user and map ids"
need_userns "map only ids 0 and 65534"
ln -s a.dat hlext.dat
chmod 777 .
# fort.50's owner, and whether the run keeps its inode.
while read -r owner inode; do
  rm -f fort.50 inside mapped
  cp b.expected fort.50; chown "$owner" fort.50; chmod 666 fort.50
  before=$(stat -c %i fort.50)
  unshare --user sh -c 'echo $$ >inside; while [ ! -e mapped ]; do sleep 0.01; done
    exec "$HLEXT1" >/dev/null' &
  run=$!
  wait_for -s inside
  for map in uid_map gid_map; do
    python3 -c 'import os, sys
os.write(os.open(sys.argv[1], os.O_WRONLY), b"0 0 1\n65534 65534 1\n")' "/proc/$(cat inside)/$map" ||
      exit 1
  done
  touch mapped; wait $run || exit 1
  after=$(stat -c %i fort.50)
  if [ "$inode" = kept ]; then [ "$after" = "$before" ]; else [ "$after" != "$before" ]; fi &&
    cmp -s fort.50 a.expected && [ "$(stat -c %u:%g fort.50)" = "$owner" ] && no_new_files ||
    { echo "fort.50 of $owner: $(stat -c %u:%g fort.50), inode $after, $before before"; exit 1; }
done <<'ROWS'
1001:1001 kept
0:0 new
ROWS
