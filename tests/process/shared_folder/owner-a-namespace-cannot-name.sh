# Root in a user namespace that maps only itself (a rootless container) sees another user's
# fort.50 as owned by the overflow id; it writes the file in place, so the owner stays.
descriptors a stream keeps no owner
need_root "give fort.50 to another user"; need unshare
unshare --user --map-root-user true 2>/dev/null || skip "user namespaces"
ln -s a.dat hlext.dat; cp b.expected fort.50; chown 1001:1001 fort.50; chmod 666 fort.50
chmod 777 .
unshare --user --map-root-user "$HLEXT1" >/dev/null && cmp -s fort.50 a.expected &&
  [ "$(stat -c %u:%g fort.50)" = 1001:1001 ] && no_new_files
