#!/usr/bin/env bash
# packaging/help2man.awk on a help text with every shape it reads: two usage forms, one of two
# lines; paragraphs (one starting with a dot, one with a backslash and a dash word); options with
# placeholders, "=" values and continued descriptions; a heading among the options; an example.
#   test_help2man.sh PATH/TO/help2man.awk
set -uo pipefail
script=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/help2man.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/help" <<'EOF'
Usage: rawcompare [--size WxH] [MAIN_FILE...]
                  [--ref1 FILE]...
       rawcompare --metrics [--csv | --json] MAIN --ref1 REF

Compare a main movie with up to two references;
back\slashes are text, -dashes start options.

.yuv files are raw.

  --size WxH      frame width and height; no
                  dialog is asked
  -h, --help      show this help and exit
  --frames=N      read at most N frames

Metrics:
  --csv           one line per frame

For example:
  rawcompare --metrics a.yuv --ref1 b.yuv
EOF

cat >"$scratch/expected" <<'EOF'
.TH RAWCOMPARE 1 "" "rawcompare 9.8.7" "User Commands"
.SH NAME
rawcompare \- viewer that compares raw video sequences
.SH SYNOPSIS
\fBrawcompare\fR [\fB\-\-size\fR \fIWxH\fR] [\fIMAIN_FILE\fR...]
[\fB\-\-ref1\fR \fIFILE\fR]...
.br
\fBrawcompare\fR \fB\-\-metrics\fR [\fB\-\-csv\fR | \fB\-\-json\fR] \fIMAIN\fR \fB\-\-ref1\fR \fIREF\fR
.SH DESCRIPTION
.PP
Compare a main movie with up to two references; back\eslashes are text, \-dashes start options.
.PP
\&.yuv files are raw.
.SH OPTIONS
.TP
\fB\-\-size\fR \fIWxH\fR
frame width and height; no
dialog is asked
.TP
\fB\-h\fR, \fB\-\-help\fR
show this help and exit
.TP
\fB\-\-frames\fR=\fIN\fR
read at most N frames
.SS Metrics
.TP
\fB\-\-csv\fR
one line per frame
.SS For example
.RS
.nf
rawcompare \-\-metrics a.yuv \-\-ref1 b.yuv
.fi
.RE
.SH ENVIRONMENT
Qt reads its own environment variables, such as
.B QT_QPA_PLATFORM
(the window system to use) and
.BR QT_SCALE_FACTOR ;
the program has no options of its own for these.
.SH "SEE ALSO"
.BR ffmpeg (1)
EOF

awk -v version=9.8.7 -f "$script" "$scratch/help" >"$scratch/page"
if diff -u "$scratch/expected" "$scratch/page"; then
    echo "1 passed, 0 failed"
else
    echo "0 passed, 1 failed"
    exit 1
fi
