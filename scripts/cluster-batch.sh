#!/usr/bin/env bash
# Exports a batch of models on a Slurm cluster: one array job, each task
# running velmora-host --export on its share of the models.
#   cluster-batch.sh [options] MODELS OUT [-- EXPORT-OPTION...]
#   cluster-batch.sh --summary LOGS
# MODELS is a folder (its models found in it and below) or a file listing
# one model per line. Each model is written to OUT under its path relative
# to the folder (for a list: to the deepest folder holding them all), with
# .zel for its extension, so two models of one name in different folders
# keep apart; two that would still write one file are refused before
# anything is submitted. The job's files (the models' list, the job script,
# each task's log and results) go to LOGS, OUT/.cluster-batch/<time>.
# EXPORT-OPTIONs go to each velmora-host --export (--quality fine, ...).
# Paths must be on a file system that the compute nodes share.
set -euo pipefail

me=cluster-batch
usage() {
  cat >&2 <<'EOF'
usage: cluster-batch.sh [-j N] [--per-task K] [--wait] [--program PATH]
                        [--sbatch OPTION]... MODELS OUT [-- EXPORT-OPTION...]
       cluster-batch.sh --summary LOGS
  MODELS          a folder of models (.step .stp .igs .iges .brep .brp .FCStd,
                  found in it and below) or a file listing one model per line
  OUT             the folder the ZEL files go to, under their relative paths
  -j N            cores for each task (sbatch --cpus-per-task; default 1)
  --per-task K    models exported one after another by each task (default 1,
                  more where the array would pass the cluster's MaxArraySize)
  --wait          wait for the job to end, then print its summary
  --program PATH  velmora-host as the compute nodes see it (default: the one
                  in PATH, else this checkout's build)
  --sbatch OPTION one more option for sbatch (--partition=short, --time=1:00:00)
  --summary LOGS  print the summary of a job submitted earlier
  -- EXPORT-OPTION...  options for each velmora-host --export
EOF
  exit 2
}
fail() { echo "$me: $*" >&2; exit 2; }
counted() { if [[ $1 == 1 ]]; then echo "1 $2"; else echo "$1 $2s"; fi; } # N, noun

# ---- the summary of a submitted job, read from its logs folder ----------

# Slurm's state of each array task ("3 FAILED"), from slurmctld while it
# remembers the job, else from accounting where there is any.
task_states() {
  local job=$1
  if scontrol -o show job "$job" 2>/dev/null |
    sed -n 's/.*ArrayTaskId=\([0-9]*\) .*JobState=\([A-Z_]*\).*/\1 \2/p' | grep .; then
    return
  fi
  sacct -n -P -X -j "$job" -o JobID,State 2>/dev/null |
    sed -n 's/^[0-9]*_\([0-9]*\)|\([A-Z_]*\).*/\1 \2/p' || true
}

summary() {
  local logs=$1 job per_task out
  [[ -f $logs/batch ]] || fail "$logs holds no batch submitted by cluster-batch.sh"
  job=$(sed -n 's/^job=//p' "$logs/batch")
  per_task=$(sed -n 's/^per_task=//p' "$logs/batch")
  out=$(sed -n 's/^out=//p' "$logs/batch")

  local -A result=() states=()
  local kind model rest task state
  shopt -s nullglob
  for f in "$logs"/task-*.results; do
    while IFS=$'\t' read -r kind model rest; do result[$model]="$kind"$'\t'"$rest"; done <"$f"
  done
  while read -r task state; do states[$task]=$state; done < <(task_states "$job")

  local index=0 exported=0 failed=0 missing=0 running=
  local -a lines=()
  [[ -n $(squeue -h -j "$job" -o %i 2>/dev/null) ]] && running=yes
  while IFS=$'\t' read -r model _; do
    task=$((index / per_task)); index=$((index + 1))
    case ${result[$model]:-} in
      exported*) exported=$((exported + 1)) ;;
      failed*)
        failed=$((failed + 1))
        lines+=("  failed: $model: ${result[$model]#failed$'\t'} (log: $logs/task-$task.log)") ;;
      *)
        [[ -n $running ]] && continue
        missing=$((missing + 1))
        why="no result"
        [[ ${result[$model]:-} == cancelled* ]] && why="cancelled while exporting"
        lines+=("  not exported: $model ($why; task $task ${states[$task]:-state unknown})") ;;
    esac
  done <"$logs/models.tsv"

  echo "$me: job $job: $(counted "$index" model): $exported exported, $failed failed$([[ $missing -gt 0 ]] && echo ", $missing not exported")"
  ((${#lines[@]})) && printf '%s\n' "${lines[@]}"
  [[ -n $running ]] && echo "$me: job $job is still running: $(counted $((index - exported - failed)) model) to go"
  echo "$me: ZEL files in $out; logs in $logs"
  [[ -z $running && $exported -eq $index ]]
}

# ---- arguments -------------------------------------------------------------

cores=1 per_task= wait= program= summary_of=
sbatch_options=() positional=() export_options=()
while [[ $# -gt 0 ]]; do
  case $1 in
    -j) [[ $# -ge 2 ]] || usage; cores=$2; shift 2 ;;
    -j*) cores=${1#-j}; shift ;;
    --per-task) [[ $# -ge 2 ]] || usage; per_task=$2; shift 2 ;;
    --wait) wait=yes; shift ;;
    --program) [[ $# -ge 2 ]] || usage; program=$2; shift 2 ;;
    --sbatch) [[ $# -ge 2 ]] || usage; sbatch_options+=("$2"); shift 2 ;;
    --summary) [[ $# -eq 2 ]] || usage; summary_of=$2; shift 2 ;;
    -h | --help) usage ;;
    --) shift; export_options=("$@"); break ;;
    -*) echo "$me: unknown option $1" >&2; usage ;;
    *) positional+=("$1"); shift ;;
  esac
done
if [[ -n $summary_of ]]; then summary "$summary_of"; exit; fi
[[ ${#positional[@]} -eq 2 ]] || usage
[[ $cores =~ ^[1-9][0-9]*$ ]] || fail "-j takes a number of cores, not '$cores'"
[[ -z $per_task || $per_task =~ ^[1-9][0-9]*$ ]] || fail "--per-task takes a number of models, not '$per_task'"
for c in sbatch squeue scontrol; do
  command -v "$c" >/dev/null || fail "Slurm's $c is not found: run this where jobs are submitted"
done

if [[ -z $program ]]; then
  program=$(command -v velmora-host || true)
  here=$(cd "$(dirname "$0")/.." && pwd)
  [[ -n $program ]] || program=${BUILD_DIR:-$here/build}/bin/velmora-host
fi
[[ -x $program && ! -d $program ]] || fail "velmora-host is not found at '$program': give it with --program"
program=$(realpath -s "$program")

# ---- the models and where each goes -----------------------------------------

source_arg=${positional[0]}
out=$(realpath -s -m "${positional[1]}")
models=()
if [[ -d $source_arg ]]; then
  root=$(realpath -s "$source_arg")
  while IFS= read -r -d '' m; do models+=("$m"); done < <(
    find "$root" -type f \( -iname '*.step' -o -iname '*.stp' -o -iname '*.igs' -o -iname '*.iges' \
      -o -iname '*.brep' -o -iname '*.brp' -o -iname '*.fcstd' \) -print0 | sort -z)
  [[ ${#models[@]} -gt 0 ]] || fail "no model (.step .stp .igs .iges .brep .brp .FCStd) in $root"
elif [[ -f $source_arg ]]; then
  unreadable=()
  while IFS= read -r line || [[ -n $line ]]; do
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    [[ -f $line && -r $line ]] || unreadable+=("$line")
    models+=("$(realpath -s -m "$line")")
  done <"$source_arg"
  if ((${#unreadable[@]})); then
    listed=$(printf "'%s', " "${unreadable[@]}")
    fail "not a readable file, as $source_arg lists it: ${listed%, }"
  fi
  [[ ${#models[@]} -gt 0 ]] || fail "$source_arg lists no model"
  root=$(dirname "${models[0]}")
  for m in "${models[@]}"; do
    while [[ $m != "$root"/* ]]; do root=$(dirname "$root"); done
  done
else
  fail "MODELS must be a folder or a file listing models: '$source_arg' is neither"
fi

# Each model's file under OUT; a clash is refused before anything starts.
declare -A writer=()
outputs=() clashes=()
for m in "${models[@]}"; do
  [[ $m == *$'\t'* ]] && fail "a tab in a model's path is not supported: '$m'"
  relative=${m#"$root"/}
  o=$out/${relative%.*}.zel
  [[ $relative == .cluster-batch/* ]] && fail "'$m' would write into the job's logs folder OUT/.cluster-batch"
  if [[ -n ${writer[$o]:-} ]]; then
    clashes+=("  ${writer[$o]} and $m would both write $o")
  fi
  writer[$o]=$m
  outputs+=("$o")
done
if ((${#clashes[@]})); then
  {
    echo "$me: models would overwrite each other's results; nothing was submitted:"
    printf '%s\n' "${clashes[@]}"
  } >&2
  exit 2
fi

count=${#models[@]}
config=$(scontrol show config 2>&1) || fail "Slurm does not answer: $(tail -n 1 <<<"$config")"
max_array=$(sed -n 's/^MaxArraySize *= *\([0-9]*\).*/\1/p' <<<"$config")
max_tasks=$((${max_array:-1001} - 1))
if [[ -z $per_task ]]; then
  per_task=$(((count + max_tasks - 1) / max_tasks))
  ((per_task > 1)) && echo "$me: $count models pass the cluster's $max_tasks array tasks: $per_task models per task" >&2
fi
tasks=$(((count + per_task - 1) / per_task))
((tasks <= max_tasks)) || fail "$tasks tasks pass the cluster's MaxArraySize ($max_tasks tasks): give a larger --per-task"

# ---- the job -------------------------------------------------------------

mkdir -p "$out/.cluster-batch"
logs=$(mktemp -d "$out/.cluster-batch/$(date +%Y%m%d-%H%M%S)-XXXX")
paste <(printf '%s\n' "${models[@]}") <(printf '%s\n' "${outputs[@]}") >"$logs/models.tsv"

# The task: its models one by one, each model's result a line of
# task-N.results (exported, failed with velmora-host's last words, or
# cancelled), velmora-host's messages in task-N.log; it fails (so Slurm
# records it failed) when any of its models failed.
{
  echo '#!/usr/bin/env bash'
  echo "# cluster-batch.sh's task: exports models $per_task by $per_task from models.tsv"
  printf 'program=%q logs=%q out_root=%q per_task=%q\n' "$program" "$logs" "$out" "$per_task"
  printf 'options=(%s)\n' "$( ((${#export_options[@]})) && printf '%q ' "${export_options[@]}")"
  cat <<'EOF'
task=$SLURM_ARRAY_TASK_ID
results=$logs/task-$task.results
model=
trap '[[ -n $model ]] && printf "cancelled\t%s\t\n" "$model" >>"$results"; exit 143' TERM INT HUP
failed=0
while IFS=$'\t' read -r model out; do
  echo "cluster-batch: $model"
  if [[ ! -x $program ]]; then
    reason="velmora-host is not found at $program on node $(hostname)"
    rc=127
  else
    mkdir -p -- "$(dirname -- "$out")"
    start=$(date +%s%N)
    { reason=$("$program" --export "$out" "${options[@]}" -- "$model" 2>&1 1>&3); rc=$?; } 3>&1
    [[ -n $reason ]] && printf '%s\n' "$reason" >&2
  fi
  if [[ $rc -eq 0 ]]; then
    seconds=$(printf '%d.%02d' $((($(date +%s%N) - start) / 1000000000)) $((($(date +%s%N) - start) / 10000000 % 100)))
    printf 'exported\t%s\t%s\n' "$model" "$seconds" >>"$results"
  else
    ((rc > 128 && rc < 160)) && reason="killed by signal $((rc - 128))"
    reason=$(printf '%s\n' "$reason" | grep . | tail -n 1)
    printf 'failed\t%s\texit %s: %s\n' "$model" "$rc" "$reason" >>"$results"
    echo "cluster-batch: failed, exit $rc"
    failed=1
    # The folders made for it, where they stayed empty.
    folder=$(dirname -- "$out")
    while [[ $folder == "$out_root"/* ]] && rmdir -- "$folder" 2>/dev/null; do folder=$(dirname -- "$folder"); done
  fi
done < <(tail -n +$((task * per_task + 1)) "$logs/models.tsv" | head -n "$per_task")
model=
exit $failed
EOF
} >"$logs/job.sh"

if ! job=$(sbatch --parsable --job-name=velmora-batch --array=0-$((tasks - 1)) \
  --cpus-per-task="$cores" --output="$logs/task-%a.log" "${sbatch_options[@]}" "$logs/job.sh"); then
  rm -rf "$logs"
  rmdir "$out/.cluster-batch" 2>/dev/null || true
  fail "sbatch refused the job (above); nothing was submitted"
fi
job=${job%%;*}
printf 'job=%s\nper_task=%s\nout=%s\n' "$job" "$per_task" "$out" >"$logs/batch"
echo "$me: submitted job $job: $(counted "$count" model) in $(counted "$tasks" task) of $(counted "$cores" core)"

if [[ -z $wait ]]; then
  echo "$me: its summary, once it ends: $0 --summary $logs"
  exit 0
fi

trap 'echo; echo "$me: stopped waiting; job $job runs on (scancel $job cancels it; $0 --summary $logs tells how it went)" >&2; exit 130' INT TERM
# The tasks' results are watched twice a second; slurmctld is asked every
# ten seconds (a task may end with no result: killed, out of time), and
# twice a second once every model has its result, until the job is gone.
done_before=-1 ticks=0
while :; do
  done_now=$( (cat "$logs"/task-*.results 2>/dev/null || true) | wc -l)
  if [[ -t 2 ]] && ((done_now != done_before)); then
    printf '\r%s: %d of %d models done' "$me" "$done_now" "$count" >&2
  fi
  done_before=$done_now
  if ((done_now >= count || ticks % 20 == 0)) && pending=$(squeue -h -j "$job" -o %i 2>/dev/null); then
    [[ -z $pending ]] && break
  fi
  ticks=$((ticks + 1))
  sleep 0.5
done
[[ -t 2 ]] && echo >&2
summary "$logs"
