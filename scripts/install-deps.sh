#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; runs apt-get update only when
# something is missing, so a machine that has them all does no network work.
set -euo pipefail

packages=(
  cmake g++ clang make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
  nlohmann-json3-dev libspdlog-dev libfmt-dev libyaml-dev libcpp-httplib-dev
  libcurl4-openssl-dev libssl-dev libpcre2-dev libsqlite3-dev zlib1g-dev
  python3 python3-dev pybind11-dev python3-yaml python3-sqlglot python3-pandas
  nodejs npm openssl
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

# node and npm may come from outside Debian on some machines; a working pair is enough.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=()
  for package in "${missing[@]}"; do
    [[ "$package" == nodejs || "$package" == npm ]] || filtered+=("$package")
  done
  missing=("${filtered[@]}")
fi

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
