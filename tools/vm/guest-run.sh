#!/usr/bin/env bash
# Runs inside the emulated machine (started by guest-init): mounts the host's
# shared folders at their own paths, takes the caller's environment and working
# folder, runs the command and leaves its exit status in the job folder.
#
#   guest-run.sh JOB_FOLDER
# JOB_FOLDER holds: shares (lines "TAG PATH"), job.sh (the environment, the
# working folder and the command, written by run-in-vm.sh). The command's output
# goes to JOB_FOLDER/output, its exit status to JOB_FOLDER/rc.
set -u
job="$1"
# The shared folders go through the guest's page cache (cache=loose): without
# it, the 32-bit Wine loader mapped the larger test programs with zeros past
# their first megabyte and each crashed at its start (the same file copied into
# the guest ran). Nothing changes the shared files on
# the host while the machine runs, and the guest writes its cache back before
# it powers off.
while read -r tag path; do
  [ -n "$tag" ] || continue
  mkdir -p "$path"
  if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose "$tag" "$path"; then
    echo "run-in-vm: could not mount the shared folder $path" >>"$job/output"
    echo 125 >"$job/rc"
    exit 0
  fi
done <"$job/shares"
# Wine and the tests look for these; the machine has no user but root.
export HOME=/root USER=root LOGNAME=root
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
bash "$job/job.sh" </dev/null >>"$job/output" 2>&1
rc=$?
sync
echo "$rc" >"$job/rc.tmp"
mv -f "$job/rc.tmp" "$job/rc"
