#!/usr/bin/env bash
# The layering check must catch each kind of forbidden include: plants one at a time in a
# copy of the sources and expects the check to fail.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../../src" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
while IFS='|' read -r file line; do
  rm -rf "$work/src" && cp -r "$src" "$work/src"
  printf '%s\n' "$line" >> "$work/src/$file"
  if "$here/check-layering.sh" "$work/src" >/dev/null; then
    echo "FAIL not caught: $line in $file"
    failed=1
  else
    echo "ok   caught: $line in $file"
  fi
done <<'PLANTS'
window/form_host.cpp|#include "client/library.h"
window/console/console_form.cpp|#include "app/cli/runner.h"
text/text.cpp|#include "window/form.h"
client/library.cpp|#include "window/form.h"
window/qt/light.cpp|#include "commands/procedures.h"
commands/editing.cpp|#include "window/win32/text.h"
commands/editing.cpp|#include <QString>
text/text.cpp|#include <windows.h>
window/controls.cpp|#include <QtCore/QObject>
PLANTS
exit $failed
