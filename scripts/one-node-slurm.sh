#!/usr/bin/env bash
# A throwaway Slurm of one node on this machine, for trying cluster-batch.sh
# and for its test: munged with a key of its own, slurmctld and slurmd on
# 127.0.0.1 at free ports, every file (configuration, state, spool, logs,
# sockets) under DIR. Needs root and Debian's slurm-wlm and munge.
#   scripts/one-node-slurm.sh start DIR   prints "export SLURM_CONF=DIR/slurm.conf"
#   scripts/one-node-slurm.sh stop DIR    cancels its jobs and stops its daemons
# Exits 77 (after saying why) where it cannot start: not root, a package
# missing; 1 where a daemon fails. DIR and the folders above it must be open
# to all (munged's rule for its socket).
set -euo pipefail

usage() { echo "usage: one-node-slurm.sh start|stop DIR" >&2; exit 2; }
[[ $# -eq 2 ]] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
conf=$dir/slurm.conf

cannot() { echo "one-node-slurm: cannot start a Slurm here: $*" >&2; exit 77; }
broke() { echo "one-node-slurm: $*" >&2; exit 1; }

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tries=$1; shift
  for ((i = 0; i < tries; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

start() {
  [[ $(id -u) -eq 0 ]] || cannot "slurmd must run as root"
  local c
  for c in munged mungekey slurmctld slurmd sbatch squeue scontrol python3; do
    command -v "$c" >/dev/null || cannot "$c is missing (Debian's slurm-wlm and munge: scripts/install-deps.sh)"
  done
  # munged checks that its socket's folders can be entered by all, and that
  # its key is the owner's alone.
  chmod 755 "$dir"
  mkdir -p "$dir/munge" "$dir/run" "$dir/state" "$dir/spool" "$dir/log"
  chmod 700 "$dir/munge"
  chmod 755 "$dir/run"
  [[ -f $dir/munge/munge.key ]] || mungekey --create --keyfile="$dir/munge/munge.key"
  munged --key-file="$dir/munge/munge.key" --socket="$dir/run/munge.sock" \
    --pid-file="$dir/run/munged.pid" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/seed" ||
    broke "munged did not start (see $dir/log/munged.log)"

  local host
  host=$(hostname -s)
  cat >"$conf" <<EOF
ClusterName=onenode
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/run/munge.sock
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
MailProg=/bin/true
MpiDefault=none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
# No database here: finished jobs stay in slurmctld for an hour, and each
# job's end is written to a file.
MinJobAge=3600
JobCompType=jobcomp/filetxt
JobCompLoc=$dir/log/jobs.txt
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=onenode Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$conf
  slurmctld -i -f "$conf" >>"$dir/log/slurmctld.out" 2>&1 || broke "slurmctld did not start (see $dir/log)"
  slurmd -f "$conf" >>"$dir/log/slurmd.out" 2>&1 || broke "slurmd did not start (see $dir/log)"
  wait_for 300 bash -c '[[ $(sinfo -h -o %T) == idle ]]' ||
    broke "its node did not come up (see $dir/log)"
  echo "export SLURM_CONF=$conf"
}

stop_daemon() {
  local pid_file=$dir/run/$1.pid pid
  [[ -f $pid_file ]] || return 0
  pid=$(<"$pid_file")
  kill "$pid" 2>/dev/null || return 0
  wait_for 300 bash -c "! kill -0 $pid" || kill -KILL "$pid" 2>/dev/null || true
}

stop() {
  export SLURM_CONF=$conf
  if [[ -f $conf ]] && scancel --full --quiet --user="$(id -un)" 2>/dev/null; then
    wait_for 300 bash -c '[[ -z $(squeue -h -t pending,running,completing,suspended) ]]' || true
  fi
  stop_daemon slurmd
  stop_daemon slurmctld
  stop_daemon munged
}

case $action in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
