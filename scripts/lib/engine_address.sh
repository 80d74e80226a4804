# engine_address ARGS...: the packet engine's host and port as tidewire will
# read them from the same arguments: options first (--engine-host, default
# 127.0.0.1), then the bridge's words joined by blanks, whose fourth
# comma-separated field is the engine port (default 8000). Sets engine_host
# and engine_port, or says why not on standard error and returns 1.
engine_address() {
  engine_host=127.0.0.1
  engine_port=
  local -a args=("$@") words=()
  local i arg
  for ((i = 0; i < ${#args[@]}; i++)); do
    arg=${args[i]}
    case "$arg" in
      --) words=("${args[@]:i+1}"); break ;;
      --engine-host) engine_host=${args[i+1]:-}; i=$((i + 1)) ;;
      --engine-host=*) engine_host=${arg#--engine-host=} ;;
      --listen-address) i=$((i + 1)) ;;
      -?*) ;;
      *) words=("${args[@]:i}"); break ;;
    esac
  done
  if [[ -z "$engine_host" ]]; then
    echo "run.sh: --engine-host needs an address" >&2
    return 1
  fi
  local line="${words[*]:-}" field fields
  IFS=, read -r -a fields <<<"$line"
  if ((${#fields[@]} < 4)); then
    engine_port=8000
    return 0
  fi
  # Blanks around it left out; its leading number counts, as for tidewire.
  field=${fields[3]}
  field=${field#"${field%%[![:space:]]*}"}
  field=${field%"${field##*[![:space:]]}"}
  if [[ "$field" =~ ^\+?0*([0-9]{1,9}) ]] && ((10#${BASH_REMATCH[1]} >= 1 && 10#${BASH_REMATCH[1]} <= 65535)); then
    engine_port=$((10#${BASH_REMATCH[1]}))
    return 0
  fi
  echo "run.sh: the engine port '$field' is not a port number (1 to 65535)" >&2
  return 1
}
