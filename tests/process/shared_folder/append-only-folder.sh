# An append-only folder cannot let a new file go again: fort.50 is written in place and no
# other file is made.
descriptors streams cannot tell an append-only folder
need_append_only "make the folder append-only"
ln -s a.dat hlext.dat; cp b.expected fort.50
chattr +a . 2>/dev/null || skip "a file system with append-only folders (chattr +a)"
"$HLEXT1" >/dev/null; status=$?
chattr -a .
[ $status = 0 ] && cmp -s fort.50 a.expected && no_new_files
