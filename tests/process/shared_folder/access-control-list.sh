# A result file with an access control list keeps it, and its links keep theirs.
descriptors a stream keeps no access control list
need setfacl getfacl
ln -s a.dat hlext.dat; cp b.expected fort.50; setfacl -m u:1002:rw fort.50
"$HLEXT1" >/dev/null && cmp -s fort.50 a.expected || exit 1
getfacl -cp fort.50 | grep -qx 'user:1002:rw-' || exit 1
setfacl -b fort.50; ln fort.50 latest.50; ln -sf b.dat hlext.dat
"$HLEXT1" >/dev/null && cmp -s latest.50 b.expected && [ "$(stat -c %h fort.50)" = 2 ] &&
  no_new_files || exit 1
# A folder's default access control list would give a new file entries the old one lacks.
rm latest.50; setfacl -d -m u:1002:rw .; ln -sf a.dat hlext.dat
"$HLEXT1" >/dev/null && cmp -s fort.50 a.expected && ! getfacl -cp fort.50 | grep -q 'user:1002' &&
  no_new_files
