#!/usr/bin/env bash
# The long soak: the stand-in host sends STEPS (default 100000) random window
# messages and host notifications, with resizes and frame changes, to the
# module (the shipped one under wine32 where the machine runs 32-bit programs;
# E2E_BUILD chooses, as for run_e2e.sh); then the window must still answer
# with the right picture and the settings must be saved. The end-to-end suite
# runs a short one (e2e.py's SOAK_STEPS); this runs the long one alone, or one
# of another length.
set -euo pipefail
cd "$(dirname "$0")/../.."
E2E_SOAK_STEPS=${1:-100000} E2E_ONLY=soak exec bash tests/e2e/run_e2e.sh
