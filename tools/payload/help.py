"""The Veltranox help: Veltranox.hlp (through winhelp.py) and its contents
file Veltranox.cnt."""
import setups
import texts
from winhelp import Paragraph, Topic, build

# Fonts: 0 body, 1 topic heading, 2 subheading, 3 script sample.
FONTS = [("Arial", 20, 3, False), ("Arial", 28, 3, True), ("Arial", 22, 3, True),
         ("Courier New", 20, 1, False)]


def heading(text):
    return Paragraph(1, [text], above=0)


def subheading(text):
    return Paragraph(2, [text], above=6)


def body(*runs):
    return Paragraph(0, list(runs), above=4)


def item(*runs):
    return Paragraph(0, ["\u2022 "] + list(runs), above=2, indent=12)


def sample(text):
    return Paragraph(3, [text], indent=24)


ELEMENTS = [
    ("scene_heading", "Scene Heading", "Ctrl+1",
     "A scene heading opens every scene and says where and when it happens: INT. (interior) "
     "or EXT. (exterior), the location, and the time of day, all in capitals. Veltranox "
     "recognises a paragraph that begins with INT., EXT. or I/E. as a scene heading as soon "
     "as you type the full stop.",
     "INT. ORPHEUM - PROJECTION BOOTH - NIGHT"),
    ("action", "Action", "Ctrl+2",
     "Action describes what the audience sees and hears, in the present tense. Introduce a "
     "character in capitals the first time we meet them. Keep paragraphs short: four lines "
     "or fewer reads as a single moment on screen.",
     "Dust turns slowly in the beam of the projector."),
    ("character", "Character", "Ctrl+3",
     "The character element names who speaks next. It is printed in capitals at the "
     "character indent. Add an extension such as (V.O.) for voice-over or (O.S.) for a "
     "speaker who is off screen; Veltranox keeps the extension with the name.",
     "MARGO"),
    ("parenthetical", "Parenthetical", "Ctrl+4",
     "A parenthetical sits between the character name and the dialogue and tells how a line "
     "is said or to whom. Type an opening bracket at the start of a dialogue paragraph and "
     "Veltranox makes it a parenthetical.",
     "(not looking up)"),
    ("dialogue", "Dialogue", "Ctrl+5",
     "Dialogue is what the character says. It is printed in a narrow column in the middle of "
     "the page. When a speech is broken at the foot of a page, Veltranox prints (MORE) below "
     "it and the name with (CONT'D) at the top of the next page.",
     "You're late."),
    ("transition", "Transition", "Ctrl+6",
     "A transition tells how one scene gives way to the next. It is printed flush right, in "
     "capitals. Most scripts need few of them beyond FADE IN: and FADE OUT.",
     "CUT TO:"),
    ("shot", "Shot", "Ctrl+7",
     "A shot directs the camera to a particular view within a scene. Use shots sparingly in a "
     "script you write to sell; they are the director's choice.",
     "CLOSE ON THE SALE CONTRACT"),
    ("note", "Note", "Ctrl+8",
     "A note holds an idea, a question or a reminder. Notes are saved with the script and "
     "shown on screen in the note colours of the colour scheme, but they are never printed.",
     "Check the dates against act two."),
]

GLOSSARY = [
    ("Act break", "The end of an act in a television script, where the commercial break falls. "
                  "The television print setups start each act on a new page."),
    ("Beat", "A short pause in dialogue or action; also a single unit of story."),
    ("B-story", "A secondary plot line that runs alongside the main story."),
    ("Cold open", "A scene played before the opening titles of a television episode."),
    ("CONT'D", "Continued: added to a character name when a speech carries over a page break "
               "or the same character speaks again after action."),
    ("Coverage", "A reader's summary and assessment of a script, written for a producer."),
    ("Cutaway", "A brief shot of something other than the main action, returning at once."),
    ("Dissolve", "A transition in which one image fades out as the next fades in."),
    ("Draft", "One complete version of a script. Production drafts are revised in colours."),
    ("Establishing shot", "A wide shot that shows where a scene takes place."),
    ("Exterior (EXT.)", "A scene set outdoors."),
    ("Fade in / fade out", "The opening and closing transitions of most feature scripts."),
    ("Flashback", "A scene set earlier in time than the story around it."),
    ("Format", "The layout of a script: margins, spacing and capitals. In Veltranox the print "
               "setup holds the format."),
    ("Insert", "A close shot of an object or detail, such as a letter or a clock."),
    ("Intercut", "Moving back and forth between two scenes, often two ends of a phone call."),
    ("Interior (INT.)", "A scene set indoors."),
    ("Logline", "A one- or two-sentence summary of a story."),
    ("Master scene", "A scene written without camera directions, as most scripts written to sell are."),
    ("Montage", "A series of short shots that show the passing of time or a process."),
    ("MORE", "Printed under a speech that continues on the next page."),
    ("O.S.", "Off screen: a voice of a character who is in the scene but not in the picture."),
    ("Outline", "A scene-by-scene plan of a story, written before the script."),
    ("Parenthetical", "A short direction in brackets under a character name."),
    ("POV", "Point of view: a shot seen through a character's eyes."),
    ("Revision marks", "Asterisks in the right margin that show the lines changed since the "
                       "last draft."),
    ("Scene", "Continuous action in one place at one time."),
    ("Scene number", "The number printed at both sides of a scene heading in a shooting "
                     "script."),
    ("Shooting script", "A production draft with scene numbers, from which a film is shot."),
    ("Slug line", "Another name for a scene heading."),
    ("Speculative script", "A script written without a commission, in the hope of selling it."),
    ("Subtext", "What a character means but does not say."),
    ("Super", "Superimpose: text shown over the picture, such as a place or a date."),
    ("Teaser", "A short opening act of a one-hour television episode."),
    ("Treatment", "A prose telling of a story, longer than an outline, shorter than a script."),
    ("V.O.", "Voice-over: a voice heard over the picture, from someone not in the scene."),
    ("Walla", "Background crowd voices, written as sound rather than as dialogue."),
]

TROUBLES = [
    ("The pages print with fewer lines than the print setup says.",
     "The printer's unprintable margin is larger than the print setup's top margin. Choose "
     "the Tight variant of the print setup, or set the printer to its smallest margins."),
    ("A scene heading was not recognised.",
     "A scene heading must begin with INT., EXT. or I/E. followed by a space. Press Ctrl+1 to "
     "make any paragraph a scene heading."),
    ("The spelling checker stops at every character name.",
     "Names used as character elements in the open script are accepted automatically. A name "
     "used only in action is added to your own dictionary when you choose Add."),
    ("Veltranox says a file is missing.",
     "Run Veltranox Monitor from your Windows folder to see which file is missing, then run "
     "Setup again. Setup never changes your scripts."),
    ("A colour scheme cannot be changed.",
     "The colour schemes installed with Veltranox are read-only. Copy one under a new name "
     "and change the copy."),
    ("A script written in another program looks wrong.",
     "Save it as plain text in the other program and open the text file. Check each element "
     "with Ctrl+Down and correct the few that were guessed wrongly."),
]


def topics():
    result = []
    result.append(Topic("welcome", "Welcome to Veltranox 2003", [
        heading("Welcome to Veltranox 2003"),
        body("Veltranox is a word processor made for one job: writing scripts. It knows the "
             "elements of a screenplay, a stage play and a television script, moves between "
             "them as you type, and prints every page in the layout that producers, agents "
             "and competitions expect."),
        subheading("Where to start"),
        item(("Writing a script", "writing"), ": the elements and how to move between them."),
        item(("Keyboard shortcuts", "keys"), ": every key in one place."),
        item(("Print setups", "setups"), ": feature, stage and television layouts."),
        item(("Colour schemes", "schemes"), ": how the page looks on screen."),
        item(("Spelling and thesaurus", "spelling"), ": checking and finding words."),
        item(("Script files", "files"), ": what is inside a .scp file."),
        item(("Glossary", "glossary"), ": the words of the trade."),
        item(("Troubleshooting", "trouble"), ": when something does not work as expected."),
        body("The Tutorial Script on the Help menu is a script like any other: read it, change "
             "it and print it to learn Veltranox by doing."),
    ]))
    writing = [heading("Writing a Script"),
               body("Every paragraph of a script is an element. The element of the paragraph "
                    "at the cursor is shown in the status bar. ENTER at the end of a paragraph "
                    "starts the element that usually follows; TAB changes the element of an "
                    "empty paragraph. Ctrl+1 to Ctrl+8 choose an element directly."),
               subheading("The elements")]
    for context, name, key, text, example in ELEMENTS:
        writing.append(item((name, context), " (%s)" % key))
    writing.append(subheading("ENTER and TAB"))
    for line in ["After a scene heading, ENTER starts action.",
                 "After action, ENTER starts more action; TAB makes it a character name.",
                 "After a character name, ENTER starts dialogue.",
                 "After dialogue, ENTER starts the next character name; TAB makes it action.",
                 "After a transition, ENTER starts a scene heading."]:
        writing.append(item(line))
    result.append(Topic("writing", "Writing a Script", writing))
    for context, name, key, text, example in ELEMENTS:
        result.append(Topic(context, name, [
            heading(name), body(text), subheading("Example"), sample(example),
            body("Shortcut: %s. " % key, ("Back to Writing a Script", "writing"))]))
    keys = [heading("Keyboard Shortcuts")]
    for line in ["Ctrl+N\tNew script", "Ctrl+O\tOpen a script", "Ctrl+S\tSave",
                 "Ctrl+P\tPrint", "Ctrl+Z\tUndo", "Ctrl+Y\tRedo", "Ctrl+F\tFind",
                 "Ctrl+H\tReplace", "Ctrl+G\tGo to a page or scene",
                 "Ctrl+Up\tPrevious scene heading", "Ctrl+Down\tNext scene heading",
                 "F1\tHelp on the element at the cursor", "F7\tCheck spelling",
                 "Shift+F7\tThesaurus", "Alt+Enter\tScript properties"]:
        keys.append(item(line.replace("\t", "  -  ")))
    result.append(Topic("keys", "Keyboard Shortcuts", keys))

    setup_topic = [heading("Print Setups"),
                   body("A print setup holds the paper size, the lines per page and, for every "
                        "element, the left and right margins, the blank lines before it, its "
                        "capitals and alignment. Choosing another print setup never changes the "
                        "text of your script. The print setups installed with Veltranox are "
                        "read-only; save a copy under a new name to make your own.")]
    for name, description, page, elements, extra in setups.SETUPS:
        setup_topic.append(item((name, "setup_" + name.replace("&", "_").replace("-", "_")),
                                ": " + description))
    result.append(Topic("setups", "Print Setups", setup_topic))
    for name, description, page, elements, extra in setups.SETUPS:
        paragraphs = [heading(name + " Print Setup"), body(description + "."),
                      body("File: %s.stp. Lines per page: %d. Top margin: %s in. Bottom margin: "
                           "%s in." % (name, page["LinesPerPage"], page["TopMargin"],
                                       page["BottomMargin"])),
                      subheading("Elements")]
        for element, value in list(elements.items()) + list(extra.items()):
            left, right, before, caps, align, spacing = value
            paragraphs.append(item("%s: from %.2f in to %.2f in, %d blank line%s before, %s, "
                                   "%s aligned%s." % (element, left, right, before,
                                                      "" if before == 1 else "s",
                                                      "capitals" if caps else "as typed",
                                                      align.lower(),
                                                      ", double-spaced" if spacing == 2 else "")))
        paragraphs.append(body(("All print setups", "setups")))
        result.append(Topic("setup_" + name.replace("&", "_").replace("-", "_"),
                            name + " Print Setup", paragraphs))

    schemes = [heading("Colour Schemes"),
               body("A colour scheme sets the colours of the page and of each element on "
                    "screen. It never changes what is printed. Choose a scheme from the View "
                    "menu; the choice is saved with each script."),
               subheading("Installed schemes")]
    for name in setups.SCHEMES:
        schemes.append(item(name))
    schemes.append(body("A scheme gives a colour to each of: " + ", ".join(setups.ROLES) + "."))
    result.append(Topic("schemes", "Colour Schemes", schemes))

    result.append(Topic("spelling", "Spelling and Thesaurus", [
        heading("Spelling and Thesaurus"),
        body("Press F7 to check the spelling of the whole script from the cursor on. For each "
             "word that is not in the dictionary, Veltranox offers the words that differ from it "
             "by one letter, in order of how common they are. Choose Add to put the word in "
             "your own dictionary, Ignore to pass it this time, or Change to take a suggestion."),
        body("Character and location names of the open script, and the terms of the trade such "
             "as INTERCUT, V.O. and CONT'D, are always accepted."),
        subheading("Thesaurus"),
        body("Press Shift+F7 with the cursor in a word to see other words with the same meaning "
             "and, where there are any, words with the opposite meaning. Double-click a word to "
             "put it in place of the word at the cursor, in the same form: ran becomes dashed, "
             "happier becomes gladder."),
        subheading("Files"),
        body("main.dct is the main dictionary, bucket.bin the index the suggestions come from "
             "and thes.bin the thesaurus. Words you add are kept in a dictionary of your own, "
             "which Setup never touches."),
    ]))
    result.append(Topic("files", "Script Files", [
        heading("Script Files"),
        body("Veltranox saves scripts as .scp files: plain text that any editor can open. Lines "
             "starting with # hold the title page and the settings of the script; every other "
             "line is one element: a letter, a tab and the text."),
        sample("#Title: THE LAST REEL"), sample("#Setup: Feature.stp"),
        sample("S  INT. ORPHEUM - LOBBY - NIGHT"), sample("A  The lobby is empty."),
        sample("C  MARGO"), sample("D  We open at eight."),
        subheading("Element letters")] + [
        item(letter + " - " + name) for letter, name in [
            ("S", "scene heading"), ("A", "action"), ("C", "character"), ("P", "parenthetical"),
            ("D", "dialogue"), ("T", "transition"), ("H", "shot"), ("B", "act break"),
            ("N", "note")]] + [
        body("Sample scripts: Sample.scp (a feature), TV-3Cam.scp (a three-camera comedy) and "
             "TV-TapeLive.scp (a taped live show) are installed beside Veltranox.")]))
    glossary = [heading("Glossary")]
    for term, meaning in GLOSSARY:
        glossary.append(Paragraph(2, [term], above=4))
        glossary.append(Paragraph(0, [meaning], indent=12))
    result.append(Topic("glossary", "Glossary", glossary))
    trouble = [heading("Troubleshooting")]
    for problem, answer in TROUBLES:
        trouble.append(subheading(problem))
        trouble.append(body(answer))
    result.append(Topic("trouble", "Troubleshooting", trouble))
    tips = [heading("Tips")] + [item(line) for line in texts.TIPS.strip().split("\n")[2:]]
    result.append(Topic("tips", "Tips", tips))
    licence = [heading("Licence Agreement")]
    for block in texts.LICENCE.strip().split("\n\n")[1:]:
        licence.append(body(" ".join(block.split("\n"))))
    result.append(Topic("licence", "Licence Agreement", licence))
    result.append(Topic("support", "Technical Support", [
        heading("Technical Support"),
        body("Before you call, run Veltranox Monitor (vmon03.exe in your Windows folder). It "
             "checks that every file of your installation is in place and shows the version of "
             "Veltranox you have. If a file is missing, run Setup again."),
        body("Tervick Software Technical Support is open Monday to Friday. Please have your "
             "version number and the name of your print setup ready."),
        body(("Troubleshooting", "trouble"), " lists the questions we are asked most often."),
    ]))
    return result


def help_file():
    return build("Veltranox Help", "Copyright (c) 2003 Tervick Software", FONTS, topics(),
                 macros=["BrowseButtons()"])


def contents_file():
    return texts.crlf(":Base Veltranox.hlp\n:Title Veltranox Help\n1 Welcome=welcome\n"
                      "1 Writing a Script=writing")
