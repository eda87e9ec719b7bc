#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: tsan-run.sh COMMAND [ARGS...]
# GCC 12's ThreadSanitizer expects its shadow memory at fixed addresses and
# stops with "FATAL: ThreadSanitizer: unexpected memory mapping" on kernels
# that randomise mmap with more bits than it knows (vm.mmap_rnd_bits = 32 on
# some recent ones). Without address randomisation it always starts; where
# personality() is refused (some containers) the command runs as it is.
arch=$(uname -m)
if setarch "$arch" -R true 2>/dev/null; then
  exec setarch "$arch" -R "$@"
fi
exec "$@"
