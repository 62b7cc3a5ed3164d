# A file mounted over fort.50 cannot be renamed over: it is written in place.
need_mount "bind-mount a file"
ln -s a.dat hlext.dat; cp b.expected fort.50; cp b.expected bound.50
unshare -m sh -c 'mount --bind bound.50 fort.50 && "$HLEXT1" >/dev/null && cmp -s fort.50 a.expected' &&
  cmp -s bound.50 a.expected && no_new_files
