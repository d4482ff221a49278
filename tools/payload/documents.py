"""The two Rich Text documents: QuickRef.rtf, the one-page quick
reference, and More.rtf, about going further with Veltranox. Written as
RTF 1.x with a font table, a colour table, styled headings and tables."""

HEADER = (r"{\rtf1\ansi\ansicpg1252\deff0\deflang1033"
          r"{\fonttbl{\f0\froman\fprq2\fcharset0 Times New Roman;}"
          r"{\f1\fswiss\fprq2\fcharset0 Arial;}"
          r"{\f2\fmodern\fprq1\fcharset0 Courier New;}}" "\r\n"
          r"{\colortbl ;\red0\green0\blue0;\red128\green0\blue0;\red96\green96\blue96;"
          r"\red224\green224\blue224;}" "\r\n"
          r"{\info{\title %s}{\author Tervick Software}{\company Tervick Software}"
          r"{\creatim\yr2003\mo3\dy14\hr10\min30}}" "\r\n"
          r"\paperw12240\paperh15840\margl1080\margr1080\margt1080\margb1080"
          r"\viewkind4\uc1" "\r\n")


def escape(text):
    out = []
    for ch in text:
        if ch in '\\{}':
            out.append('\\' + ch)
        elif ord(ch) > 127:
            out.append("\\'%02x" % ord(ch.encode('cp1252')))
        else:
            out.append(ch)
    return ''.join(out)


def title(text):
    return (r"\pard\plain\sb0\sa120\qc\f1\fs36\b\cf2 %s\par" "\r\n") % escape(text)


def subtitle(text):
    return (r"\pard\plain\sa240\qc\f1\fs20\i\cf3 %s\par" "\r\n") % escape(text)


def heading(text):
    return (r"\pard\plain\keepn\sb240\sa80\f1\fs26\b\cf2 %s\par" "\r\n") % escape(text)


def para(text):
    return (r"\pard\plain\sa120\f0\fs22 %s\par" "\r\n") % escape(text)


def bullet(text):
    return (r"\pard\plain\fi-360\li360\sa60\f0\fs22 \bullet\tab %s\par" "\r\n") % escape(text)


def code(text):
    return (r"\pard\plain\li720\f2\fs20 %s\par" "\r\n") % escape(text)


def table(rows, widths, header=True):
    """rows: lists of cell texts; widths: column widths in twips."""
    out = []
    for number, row in enumerate(rows):
        shaded = header and number == 0
        line = [r"\trowd\trgaph108\trleft0"]
        edge = 0
        for width in widths:
            edge += width
            line.append(r"\clbrdrb\brdrs\brdrw10")
            if shaded:
                line.append(r"\clcbpat4")
            line.append(r"\cellx%d" % edge)
        out.append(''.join(line) + "\r\n")
        cells = []
        for cell in row:
            style = r"\f1\fs18\b " if shaded else r"\f0\fs20 "
            cells.append(r"\pard\plain\intbl%s%s\cell" % (style, escape(cell)))
        out.append(' '.join(cells) + r"\row" + "\r\n")
    out.append(r"\pard\plain\sa120\par" "\r\n")
    return ''.join(out)


def document(name, parts):
    return (HEADER % escape(name) + ''.join(parts) + "}\r\n").encode('cp1252')


def quick_reference():
    keys = [
        ["Keys", "Action"],
        ["Ctrl+N", "New script"],
        ["Ctrl+O", "Open a script"],
        ["Ctrl+S", "Save the script"],
        ["Ctrl+P", "Print the script with the current print setup"],
        ["Ctrl+Z / Ctrl+Y", "Undo / redo"],
        ["Ctrl+F", "Find text"],
        ["Ctrl+H", "Replace text"],
        ["Ctrl+G", "Go to a page or scene number"],
        ["Ctrl+Up / Ctrl+Down", "Previous / next scene heading"],
        ["F1", "Help for the element at the cursor"],
        ["F7", "Check spelling"],
        ["Shift+F7", "Thesaurus for the word at the cursor"],
        ["Ctrl+1 ... Ctrl+8", "Make the paragraph a scene heading, action, character, "
                              "parenthetical, dialogue, transition, shot or note"],
        ["Alt+Enter", "Script properties: title, author, draft, print setup"],
    ]
    elements = [
        ["Element", "Starts with", "After ENTER comes", "After TAB becomes"],
        ["Scene heading", "INT. / EXT. / I/E.", "Action", "Character"],
        ["Action", "anything else", "Action", "Character"],
        ["Character", "a name", "Dialogue", "Action"],
        ["Parenthetical", "(", "Dialogue", "Dialogue"],
        ["Dialogue", "", "Character", "Parenthetical"],
        ["Transition", "CUT TO: / FADE OUT.", "Scene heading", "Action"],
        ["Shot", "ANGLE ON / CLOSE ON", "Action", "Action"],
        ["Note", "Ctrl+8", "Action", "Action"],
    ]
    setups = [
        ["Print setup", "Use it for"],
        ["Feature", "Feature films: the standard layout, 55 lines a page"],
        ["Feature_Loose / Feature_Tight", "The same with more or less room per page"],
        ["TV-Filmed", "One-hour and single-camera television"],
        ["TV-ThreeCamera / TV-ThreeCamera2", "Three-camera comedy, dialogue double-spaced"],
        ["TV-TapeLive", "Taped and live shows with a rundown"],
        ["Play / Play_Alternate", "Stage plays"],
        ["Proof_DblSpc / Proof_Left / Proof_Right", "Proof copies with room for notes"],
        ["AMPAS", "The layout of academy screenwriting competitions"],
        ["Vask&Orle / Quenwald", "Layouts preferred by two large agencies"],
    ]
    parts = [
        title("Veltranox 2003 Quick Reference"),
        subtitle("Professional Screenwriting Software"),
        heading("Keyboard"),
        table(keys, [2600, 7400]),
        heading("Script elements"),
        para("Veltranox knows what you are writing from where you are in the script. "
             "ENTER and TAB move between the elements as shown; Ctrl+1 to Ctrl+8 choose "
             "an element directly."),
        table(elements, [2200, 2600, 2600, 2600]),
        heading("Print setups"),
        para("A print setup holds the margins, spacing and capitalisation of every element. "
             "Changing the print setup never changes the text of your script."),
        table(setups, [4200, 5800]),
        heading("Margins of the Feature setup"),
        table([["Element", "Left", "Right", "Lines before", "Capitals"],
               ["Scene heading", "1.5 in", "7.5 in", "2", "yes"],
               ["Action", "1.5 in", "7.5 in", "1", "no"],
               ["Character", "4.2 in", "7.5 in", "1", "yes"],
               ["Parenthetical", "3.6 in", "5.6 in", "0", "no"],
               ["Dialogue", "2.9 in", "6.2 in", "0", "no"],
               ["Transition", "6.0 in", "7.5 in", "1", "yes"],
               ["Shot", "1.5 in", "7.5 in", "2", "yes"]],
              [2400, 1400, 1400, 1800, 1400]),
        heading("Script files"),
        para("Scripts are saved as .scp files: plain text, one element a line, each line "
             "starting with the element's letter and a tab. For example:"),
        code("S\tINT. PROJECTION BOOTH - NIGHT"),
        code("A\tDust turns in the beam of the projector."),
        code("C\tMARGO"),
        code("D\tYou're late."),
        para("Lines starting with # hold the title page and the script's settings."),
    ]
    return document("Veltranox 2003 Quick Reference", parts)


def more():
    parts = [
        title("More About Veltranox"),
        subtitle("Getting the most from Veltranox 2003"),
        heading("Sample scripts"),
        para("Three sample scripts are installed with Veltranox: Sample.scp, a complete "
             "feature screenplay, and TV-3Cam.scp and TV-TapeLive.scp, opening scenes in the "
             "two television formats. Open them to see how each element is used, and print "
             "them with different print setups to compare the layouts."),
        heading("Your own dictionary"),
        para("Words you add while checking spelling are kept in your own dictionary, separate "
             "from the main dictionary (main.dct), so that installing Veltranox again never "
             "loses them. Character and location names of the open script are accepted "
             "automatically."),
        heading("Colour schemes"),
        bullet("White and BlackWhite: the page as it will print."),
        bullet("Blue, Brown, Purple, Salmon, Forest and Yellow: easier on the eyes for long "
               "sessions, and handy to tell two open scripts apart."),
        para("Colour schemes are read-only files; to make your own, copy one under a new name."),
        heading("Writing for television"),
        para("The television print setups put each act on new pages and print the act "
             "heading (ACT ONE, ACT TWO...) centred and underlined. In the three-camera "
             "setups dialogue is double-spaced and action is printed in capitals, as "
             "the studio floor expects. Scene headings of taped shows carry the scene letter "
             "and the characters in the scene on the line below; Veltranox fills that line "
             "for you from the dialogue of the scene."),
        para("Start a new episode from TV-3Cam.scp or TV-TapeLive.scp and save it under a new "
             "name: the title page, act breaks and print setup are already in place."),
        heading("Printing"),
        bullet("Page numbers are printed at the top right; the first page is not numbered."),
        bullet("A speech broken at the foot of a page is continued with (MORE) and the "
               "character's name with (CONT'D) on the next page."),
        bullet("Scene headings are never left alone at the foot of a page."),
        bullet("In revision mode, changed lines carry an asterisk in the right margin and the "
               "pages show the colour of the revision in the header."),
        para("If your printer prints fewer lines a page than the print setup asks for, choose "
             "the Tight variant of the setup or check the printer's top margin."),
        heading("Bringing in text from elsewhere"),
        para("A script written in a word processor can be brought into Veltranox: save it as "
             "plain text, open the text file, and Veltranox recognises scene headings, "
             "character names, parentheticals and transitions from their form. Check the "
             "result element by element with Ctrl+Down before you print."),
        heading("Support"),
        para("Before you call, run Veltranox Monitor (vmon03.exe in your Windows folder): it "
             "checks that every file of your installation is in place and shows the version "
             "of Veltranox you have. If a file is missing, run Setup again; your scripts are "
             "never touched by Setup."),
        para("Tervick Software Technical Support is available Monday to Friday. Have your "
             "version number ready, and the print setup you were using if your question is "
             "about printing."),
        heading("Registering"),
        para("Registered users receive free updates to Veltranox 2003 and a discount on the "
             "next version. Register from the Help menu, or by returning the card in your box."),
    ]
    return document("More About Veltranox", parts)
