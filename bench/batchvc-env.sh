# What the batchvc benchmarks share, sourced from the top of the checkout:
# the program to run ($bin: BUILD=build/<variant>, default build/release,
# built when missing), a work folder removed at exit ($work), and settings
# of their own, never the user's.
build=${BUILD:-build/release}
bin=$build/bin/batchvc
[ -x "$bin" ] || { tools/build.sh release; bin=build/release/bin/batchvc; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"
