# Turns the text of `rawcompare --help` into a manual page (roff, man macros).
#   awk -v version=0.1.0 -f help2man.awk help.txt
# The help's layout is read as follows:
#   - the lines up to the first blank one are the usage ("Usage: rawcompare ...", a further
#     "rawcompare ..." for each other form, indented lines continuing a form): the SYNOPSIS;
#   - paragraphs before the first option: the DESCRIPTION;
#   - "  -x, --long ARG   text" with deeper-indented lines continuing the text: one option each
#     under OPTIONS; a line at the left margin ending in ":" among them starts a subsection,
#     other lines at the margin are paragraphs, other indented lines are shown as typed.
# The sections the help has no words for (NAME, ENVIRONMENT, SEE ALSO) are written here.

# Backslashes are roff's escape; a dash that starts a word is an option's minus sign.
function text(s,   n, i, words, out, w)
{
    gsub(/\\/, "\\e", s)
    n = split(s, words, " ")
    out = ""
    for (i = 1; i <= n; i++) {
        w = words[i]
        if (w ~ /^[("'`[]*-/)
            gsub(/-/, "\\-", w)
        out = out (i > 1 ? " " : "") w
    }
    if (out ~ /^[.']/)
        out = "\\&" out
    return out
}

# One word of a usage line or an option's name: options bold, placeholders italic.
function token(t,   pre, post, core, value, eq)
{
    gsub(/\\/, "\\e", t)
    pre = ""
    post = ""
    while (t ~ /^[[(]/) {
        pre = pre substr(t, 1, 1)
        t = substr(t, 2)
    }
    while (t ~ /([])]|,|\.\.\.)$/) {
        if (t ~ /\.\.\.$/) {
            post = "..." post
            t = substr(t, 1, length(t) - 3)
        } else {
            post = substr(t, length(t), 1) post
            t = substr(t, 1, length(t) - 1)
        }
    }
    core = t
    if (core ~ /^-/) {
        eq = index(core, "=")
        value = ""
        if (eq > 0) {
            value = substr(core, eq + 1)
            core = substr(core, 1, eq - 1)
        }
        gsub(/-/, "\\-", core)
        core = "\\fB" core "\\fR"
        if (value != "")
            core = core "=\\fI" value "\\fR"
    } else if (core == prog) {
        core = "\\fB" core "\\fR"
    } else if (core ~ /^[A-Z][A-Z0-9_]*$/ || core ~ /^[A-Z]x[A-Z]$/) {
        core = "\\fI" core "\\fR"
    }
    return pre core post
}

function tokens(s,   n, i, words, out)
{
    n = split(s, words, " ")
    out = ""
    for (i = 1; i <= n; i++)
        out = out (i > 1 ? " " : "") token(words[i])
    return out
}

function indent(s)
{
    match(s, /^ */)
    return RLENGTH
}

function end_paragraph()
{
    if (paragraph != "") {
        print ".PP"
        print text(paragraph)
    }
    paragraph = ""
}

function end_literal()
{
    if (in_literal)
        print ".fi\n.RE"
    in_literal = 0
}

function end_block()
{
    end_paragraph()
    end_literal()
    in_option = 0
}

BEGIN {
    prog = "rawcompare"
    state = "usage"
    printf ".TH RAWCOMPARE 1 \"\" \"rawcompare %s\" \"User Commands\"\n", version
    print ".SH NAME"
    print "rawcompare \\- viewer that compares raw video sequences"
    print ".SH SYNOPSIS"
}

state == "usage" {
    if ($0 ~ /^[ \t]*$/) {
        state = "description"
        print ".SH DESCRIPTION"
        next
    }
    line = $0
    sub(/^[ \t]*([Uu]sage:|or:)?[ \t]*/, "", line)
    # Each form starts on a line of its own; a form's further lines continue it.
    if (usage_lines++ > 0 && line ~ ("^" prog "( |$)"))
        print ".br"
    print tokens(line)
    next
}

/^[ \t]*$/ {
    end_block()
    next
}

# An option: an indented line that starts with a dash.
/^ +-/ {
    end_block()
    if (state == "description") {
        state = "options"
        print ".SH OPTIONS"
    }
    line = $0
    sub(/^ +/, "", line)
    term = line
    description = ""
    split_at = match(line, /  +/)
    if (split_at > 0) {
        term = substr(line, 1, split_at - 1)
        description = substr(line, split_at + RLENGTH)
    }
    print ".TP"
    print tokens(term)
    if (description != "")
        print text(description)
    in_option = 1
    option_indent = indent($0)
    next
}

in_option && indent($0) > option_indent {
    line = $0
    sub(/^ +/, "", line)
    print text(line)
    next
}

# A heading among the options.
state == "options" && /^[^ ].*:$/ {
    end_block()
    line = $0
    sub(/:$/, "", line)
    print ".SS " text(line)
    next
}

# Indented lines outside an option: an example, shown as typed.
/^ +[^ ]/ {
    end_paragraph()
    in_option = 0
    if (!in_literal) {
        print ".RS\n.nf"
        in_literal = 1
    }
    line = $0
    sub(/^ +/, "", line)
    print text(line)
    next
}

{
    end_literal()
    in_option = 0
    paragraph = paragraph (paragraph != "" ? " " : "") $0
}

END {
    end_block()
    print ".SH ENVIRONMENT"
    print "Qt reads its own environment variables, such as"
    print ".B QT_QPA_PLATFORM"
    print "(the window system to use) and"
    print ".BR QT_SCALE_FACTOR ;"
    print "the program has no options of its own for these."
    print ".SH \"SEE ALSO\""
    print ".BR ffmpeg (1)"
}
