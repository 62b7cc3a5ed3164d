# Another user's result file keeps its owner, group and mode.
descriptors a stream keeps no owner, group or mode
need setpriv; need_root "give fort.50 to other users"
ln -s a.dat hlext.dat; cp b.expected fort.50; chown 1001:3000 fort.50; chmod 640 fort.50
old=$(stat -c %i fort.50)
"$HLEXT1" >/dev/null && cmp -s fort.50 a.expected || exit 1
# Root can give a new file the owner: it is replaced, not written in place.
[ "$(stat -c %i fort.50)" != "$old" ] || exit 1
[ "$(stat -c '%u:%g %a %h' fort.50)" = "1001:3000 640 1" ] || exit 1
# A member of the group runs in the group's folder; then the owner runs again.
chown 1001:3000 .; chmod 775 .; chmod 664 fort.50; ln -sf b.dat hlext.dat
setpriv --reuid=1002 --regid=1002 --groups=3000 "$HLEXT1" >/dev/null || exit 1
cmp -s fort.50 b.expected && [ "$(stat -c '%u:%g %a' fort.50)" = "1001:3000 664" ] || exit 1
ln -sf a.dat hlext.dat
setpriv --reuid=1001 --regid=1001 --groups=3000 "$HLEXT1" >/dev/null || exit 1
cmp -s fort.50 a.expected && [ "$(stat -c '%u:%g' fort.50)" = "1001:3000" ] && no_new_files
