"""The payload's small text files: the licence agreement, the tips, the
program's manifest and the help contents file. Each function returns the
file's bytes; line ends are CR LF, as on the system the files are for."""


def crlf(text, final_newline=True):
    lines = text.strip('\n').split('\n')
    body = '\r\n'.join(line.rstrip() for line in lines)
    return (body + ('\r\n' if final_newline else '')).encode('cp1252')


LICENCE = """
Veltranox 2003
Tervick Software End-User Licence Agreement

IMPORTANT - READ CAREFULLY: This End-User Licence Agreement ("Agreement") is a
legal agreement between you (either an individual or a single entity) and
Tervick Software ("Tervick") for the Veltranox 2003 software product, which
includes computer software, print setups, colour schemes, sample scripts,
dictionaries and online or electronic documentation ("Software"). By clicking
"Accept", or by installing, copying or otherwise using the Software, you agree
to be bound by the terms of this Agreement. If you do not agree, click
"Decline"; the Software will not be installed.

1. GRANT OF LICENCE. Tervick grants you a non-exclusive licence to install and
use one copy of the Software on one computer. You may also install a second
copy on one portable computer used by the same person, provided that the two
copies are never in use at the same time.

2. YOUR SCRIPTS. Scripts, outlines and other works that you write with the
Software belong to you. Tervick claims no right in them.

3. RESTRICTIONS. You may not rent, lease, lend or sell the Software. You may
not reverse engineer, decompile or disassemble the Software, except and only
to the extent that applicable law expressly permits it. The Software is
licensed as a single product; its parts may not be separated for use on more
than one computer.

4. TRANSFER. You may permanently transfer all of your rights under this
Agreement once, provided that you keep no copies, that you transfer all of
the Software (including all parts, media, printed materials and this
Agreement), and that the recipient agrees to the terms of this Agreement.

5. COPYRIGHT. All title and copyrights in and to the Software and the
accompanying printed materials are owned by Tervick or its suppliers. The
sample scripts are provided for your study only and may not be performed,
published or distributed.

6. LIMITED WARRANTY. Tervick warrants that the Software will perform
substantially in accordance with the accompanying documentation for a period
of ninety (90) days from the date of purchase. Tervick's entire liability and
your exclusive remedy shall be, at Tervick's option, either return of the
price paid or repair or replacement of the Software.

7. NO OTHER WARRANTIES. To the maximum extent permitted by applicable law,
Tervick disclaims all other warranties, either express or implied, including
but not limited to implied warranties of merchantability and fitness for a
particular purpose, with regard to the Software.

8. NO LIABILITY FOR CONSEQUENTIAL DAMAGES. To the maximum extent permitted by
applicable law, in no event shall Tervick or its suppliers be liable for any
damages whatsoever (including lost scripts, lost profits or business
interruption) arising out of the use of or inability to use the Software.

9. TERMINATION. Tervick may terminate this Agreement if you fail to comply
with its terms. You must then destroy all copies of the Software.

Copyright (c) 2003 Tervick Software. All rights reserved.
"""


def licence():
    return crlf(LICENCE, final_newline=False)


TIPS = """
Veltranox 2003 Tips

Press TAB at the end of a character name to start the dialogue; press ENTER at the end of a speech to go back to action.
Type the first letters of a character or location you have used before, and Veltranox completes the name for you.
A scene heading that starts with INT. or EXT. is recognised as you type it; press ENTER to go on with the action.
Choose a print setup (.stp) to switch between feature, stage play and television formats without retyping a word.
Colour schemes (.scm) change only what you see on screen; your script always prints in black and white.
Use notes for ideas you are not ready to write: they are kept with the script but never printed.
Ctrl+S saves your script. Veltranox also keeps a backup copy of the last saved version next to it.
Double-click a scene heading in the scene list to jump straight to that scene.
Parentheticals belong on their own line under the character name; keep them short.
Act breaks in the television setups start a new page on their own.
The spelling checker knows screenwriting terms such as INTERCUT, SUPER and V.O. out of the box.
Right-click a misspelled word to see suggestions, or add it to your own dictionary.
Use the thesaurus (Shift+F7) to find another word for the one at the cursor.
Revision mode marks every changed line with an asterisk in the right margin, as production drafts require.
Page numbers, scene numbers and (MORE)/(CONT'D) markers are added when you print; you never type them.
The Tutorial Script in the Help menu walks you through every element of a screenplay.
The Quick Reference lists every keyboard shortcut on one page: print it and keep it by your desk.
A script opened from an older version of Veltranox is converted when you save it; keep a copy of the original.
To share a draft with someone who does not use Veltranox, print it to a file or save it as plain text.
Transitions such as CUT TO: are placed flush right by the print setup; type them like any other element.
Veltranox Monitor (in the Windows folder) checks that every file of your installation is in place.
Drag a scene in the scene list to move it, with everything in it, to another place in the script.
Ctrl+Up and Ctrl+Down move the cursor to the previous or next scene heading.
Type a character name in lower case: the print setup prints it in capitals for you.
An extension such as (V.O.) or (O.S.) after a character name is kept with the name when the page breaks.
Keep action paragraphs to four lines or fewer; a reader's eye slides past longer blocks.
Use the Proof print setups to print a double-spaced copy with wide margins for notes.
The Play setups follow common stage play conventions: character names centred, stage directions in parentheses.
Scene numbers can be locked before production so that added scenes get numbers such as 12A.
Save each draft under a new name (Draft1.scp, Draft2.scp) to keep a history of your script.
F1 opens the help topic for the element at the cursor.
Choose Save As to keep a copy of a script before trying a large rewrite.
The title page is taken from the script's title, author and draft lines; fill them in once and forget them.
Veltranox never changes the layout of a script when you change colour schemes; try them all.
If a script will not open, check that the file ends in .scp and has not been renamed by another program.
"""


def tips():
    return crlf(TIPS)


MANIFEST = """
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
<assemblyIdentity version="1.0.0.1" processorArchitecture="X86" name="Tervick.Veltranox.Veltranox" type="win32"/>
<description>Veltranox 2003 Professional Screenwriting Software</description>
<dependency>
    <dependentAssembly>
        <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="X86" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
</dependency>
</assembly>
"""


def manifest():
    return crlf(MANIFEST)


# The help contents file: base file, title, then the topics by level.
CONTENTS = """
:Base Veltranox.hlp
:Title Veltranox Help
1 Veltranox 2003
2 Welcome=welcome
"""


def contents():
    return crlf(CONTENTS)
