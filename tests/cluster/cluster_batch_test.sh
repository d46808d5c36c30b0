#!/usr/bin/env bash
# cluster-batch.sh on a real Slurm of one node (scripts/one-node-slurm.sh):
# its files are velmora-host --export's, a damaged model fails in Slurm too,
# same-named models keep apart, clashes are refused, and scancel leaves no
# process or temporary file. Exits 77 where no Slurm can be started.
#   cluster_batch_test.sh BIN_DIR   (the folder of velmora-host and the model makers)
set -uo pipefail
bin=$(cd "$1" && pwd)
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
chmod 755 "$work" # munged's socket must be reachable by all
slurm_started=
finish() {
  [[ -n $slurm_started ]] && "$scripts/one-node-slurm.sh" stop "$work/slurm"
  rm -rf "$work"
}
trap finish EXIT

failures=0
check() {
  local what=$1; shift
  "$@" || { echo "FAILED: $what" >&2; failures=$((failures + 1)); }
}
same() { [[ $1 == "$2" ]] || { printf '  got:      %s\n  expected: %s\n' "$1" "$2" >&2; false; }; }
wait_until() { # up to $1 seconds
  local tries=$(($1 * 20)); shift
  for ((i = 0; i < tries; i++)); do "$@" && return 0; sleep 0.05; done
  false
}
files_in() { (cd "$1" && find . -path ./.cluster-batch -prune -o -print | sort); }
task_state() { scontrol -o show job "$1" | sed -n "s/.*ArrayTaskId=$2 .*JobState=\([A-Z]*\).*/\1/p"; }
task_of() { awk -F '\t' -v m="$2" '$1 == m { print NR - 1 }' "$1/models.tsv"; }
differ() { ! cmp -s "$1" "$2"; }
being_written() { compgen -G "$1.*" >/dev/null; }
job_gone() { [[ -z $(squeue -h -j "$1") ]]; }

settings=$("$scripts/one-node-slurm.sh" start "$work/slurm")
case $? in
  0) slurm_started=yes; eval "$settings" ;;
  77) exit 77 ;;
  *) echo "FAILED: the one-node Slurm did not start" >&2; exit 1 ;;
esac

# The models: two of one name in different folders, and one cut in half.
models=$work/models
mkdir -p "$models"/{a,b,damaged,machine}
"$bin/make-sample-model" "$models/sample.step" >/dev/null
"$bin/make-large-model" "$models/machine/large.step" >/dev/null
"$bin/make-edge-case-models" "$work/edge" >/dev/null
cp "$work/edge/cusp.brep" "$models/a/part.brep"
cp "$work/edge/touching.brep" "$models/b/part.brep"
head -c 20000 "$models/sample.step" >"$models/damaged/sample.step"
good=(a/part b/part machine/large sample)
mkdir -p "$work"/alone/{a,b,machine}
for m in "${good[@]}"; do
  "$bin/velmora-host" --export "$work/alone/$m.zel" "$models/$m".* >/dev/null 2>&1 ||
    { echo "FAILED: velmora-host --export $m" >&2; exit 1; }
done

# A batch, waited for.
summary=$("$scripts/cluster-batch.sh" --program "$bin/velmora-host" --wait -j 1 "$models" "$work/out")
check "the batch exits 1 for its failed model" same $? 1
logs=$(echo "$work"/out/.cluster-batch/*)
job=$(sed -n 's/^job=//p' "$logs/batch")
check "the summary counts" grep -q "job $job: 5 models: 4 exported, 1 failed$" <<<"$summary"
check "the summary gives the damaged model's reason" \
  grep -q "failed: $models/damaged/sample.step: exit 2: velmora-host: Unable to read the model" <<<"$summary"
for m in "${good[@]}"; do
  check "$m.zel is velmora-host --export's" cmp "$work/alone/$m.zel" "$work/out/$m.zel"
done
check "the two part.zel differ (each its own model's)" differ "$work/out/a/part.zel" "$work/out/b/part.zel"
check "only the good models' files are left, no temporary file or empty folder" same "$(files_in "$work/out")" \
  "$(printf '%s\n' . ./a ./a/part.zel ./b ./b/part.zel ./machine ./machine/large.zel ./sample.zel)"
check "Slurm records the damaged model's task failed" \
  same "$(task_state "$job" "$(task_of "$logs" "$models/damaged/sample.step")")" FAILED
check "Slurm records the others completed" same "$(task_state "$job" "$(task_of "$logs" "$models/sample.step")")" COMPLETED
check "the task's log holds the reason" grep -q "Unable to read the model" "$logs/task-$(task_of "$logs" "$models/damaged/sample.step").log"

# Models that would write one file: refused, nothing submitted.
mkdir -p "$work/clash/x"
cp "$work/edge/cusp.brep" "$work/clash/x/p.brep"
cp "$work/edge/located.step" "$work/clash/x/p.step"
jobs_before=$(squeue -h -t all | wc -l)
message=$("$scripts/cluster-batch.sh" --program "$bin/velmora-host" "$work/clash" "$work/out-clash" 2>&1)
check "a clash exits 2" same $? 2
check "a clash names both models" grep -q "$work/clash/x/p.brep and $work/clash/x/p.step would both write" <<<"$message"
check "a clash submits nothing and makes no folder" \
  same "$(squeue -h -t all | wc -l) $(test -e "$work/out-clash" && echo made)" "$jobs_before "

# scancel while the machine's file is being written.
echo "$models/machine/large.step" >"$work/list"
"$scripts/cluster-batch.sh" --program "$bin/velmora-host" "$work/list" "$work/out-cancel" -- --quality extrafine >/dev/null
logs=$(echo "$work"/out-cancel/.cluster-batch/*)
job=$(sed -n 's/^job=//p' "$logs/batch")
check "the export began writing" wait_until 120 being_written "$work/out-cancel/large.zel"
scancel "$job"
check "the cancelled job ends" wait_until 60 job_gone "$job"
check "scancel leaves no process" same "$(pgrep -f -- "$work/out-cancel"; pgrep -f "slurmstepd: \[$job")" ""
check "scancel leaves no temporary file" same "$(files_in "$work/out-cancel")" "."
check "Slurm records the task cancelled" same "$(task_state "$job" 0)" CANCELLED
summary=$("$scripts/cluster-batch.sh" --summary "$logs")
check "its summary exits 1" same $? 1
check "its summary names the model not exported" \
  grep -q "not exported: $models/machine/large.step (cancelled while exporting; task 0 CANCELLED)" <<<"$summary"

"$scripts/one-node-slurm.sh" stop "$work/slurm"
slurm_started=
check "every daemon stopped" same "$(pgrep -f -- "$work")" ""
((failures == 0))
