#!/bin/sh
# Checks the GitHub Actions workflows against the workflow schema with
# action-validator (from npm, pinned in tests/tools).
# Usage: validate_workflow.sh SOURCE-DIR TOOLS-DIR
set -eu
source=$1 tools=$2
"$source/tests/tools/install.sh" "$tools"
validator=$tools/node_modules/.bin/action-validator
status=0
for workflow in "$source"/.github/workflows/*.yml; do
    if "$validator" "$workflow"; then
        echo "ok $(basename "$workflow")"
    else
        echo "FAIL $(basename "$workflow")"
        status=1
    fi
done
exit $status
