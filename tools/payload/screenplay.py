"""Veltranox scripts (.scp) and the sample scripts that ship with the
program.

A script is CR LF text. Lines starting with '#' hold the title page and
settings ("#Title: ...", "#Setup: Feature.stp"). Every other non-blank
line is one element: a letter, a tab, the element's text.

    S scene heading    A action          C character       P parenthetical
    D dialogue         T transition      H shot            B act break
    N note (never printed)

The samples are composed from hand-written scene material, arranged by a
small deterministic generator so that a complete feature-length sample
can be rebuilt byte for byte."""


class Random:
    """xorshift32: the same numbers on every Python version."""

    def __init__(self, seed):
        self.state = seed or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return self.next() % n

    def pick(self, items):
        return items[self.below(len(items))]

    def chance(self, percent):
        return self.below(100) < percent


class Script:
    def __init__(self, header):
        self.lines = ["#VELTRANOX SCRIPT 1.0"] + ["#%s: %s" % item for item in header] + [""]

    def add(self, code, text):
        self.lines.append("%s\t%s" % (code, text))
        self.lines.append("")

    def size(self):
        return sum(len(line) + 2 for line in self.lines)

    def bytes(self):
        return ("\r\n".join(self.lines).rstrip("\r\n") + "\r\n").encode("cp1252")


# ---------------------------------------------------------------------------
# Material for the feature sample, "The Last Reel": the Orpheum, the town's
# last single-screen cinema, is to be sold; its projectionist tries to save
# it with one last show.

CAST = ["MARGO", "TEDDY", "HALVERSEN", "DELIA", "OSCAR", "JUNE", "RUIZ", "PRU"]

INTRODUCTIONS = {
    "MARGO": "MARGO KESTEL (50s), projectionist, reading glasses on a cord, a splicing tape in "
             "her pocket at all times,",
    "TEDDY": "TEDDY KESTEL (19), her nephew, all elbows and headphones,",
    "HALVERSEN": "ARNE HALVERSEN (70s), owner of the Orpheum, a man who still wears a tie to "
                 "the hardware store,",
    "DELIA": "DELIA MARSH (40s), sharp suit, sharper phone, agent for the buyers,",
    "OSCAR": "OSCAR BELL (80), usher since before anyone can remember, uniform pressed to a "
             "knife edge,",
    "JUNE": "JUNE OKAFOR (20s), behind the ticket window, a paperback open under the counter,",
    "RUIZ": "OFFICER DAN RUIZ (30s), who would rather be anywhere else,",
    "PRU": "PRUDENCE 'PRU' HALVERSEN (40s), the owner's daughter, up from the city and "
           "already counting the days,",
}

LOCATIONS = [
    ("INT.", "ORPHEUM - PROJECTION BOOTH"), ("INT.", "ORPHEUM - LOBBY"),
    ("INT.", "ORPHEUM - AUDITORIUM"), ("EXT.", "ORPHEUM - MAIN STREET"),
    ("INT.", "MARGO'S APARTMENT - KITCHEN"), ("INT.", "LUCKY'S DINER"),
    ("INT.", "TOWN HALL - COUNCIL CHAMBER"), ("EXT.", "ORPHEUM - ROOF"),
    ("INT.", "HALVERSEN HOUSE - STUDY"), ("INT.", "COUNTY FILM ARCHIVE - VAULT"),
    ("EXT.", "RIVERSIDE PARK"), ("INT.", "TEDDY'S CAR - MOVING"),
    ("INT.", "ORPHEUM - TICKET BOOTH"), ("INT.", "HARDWARE STORE"),
    ("EXT.", "MOTEL PARKING LOT"), ("INT.", "DELIA'S RENTAL CAR"),
    ("INT.", "ORPHEUM - BASEMENT"), ("EXT.", "BUS STATION"),
]

TIMES = ["DAY", "NIGHT", "MORNING", "EVENING", "LATER", "CONTINUOUS", "DUSK", "DAWN"]

THINGS = ["the film can", "the old poster", "the ticket roll", "the marquee letters",
          "a box of carbon rods", "the splicer", "the deed", "a cold cup of coffee",
          "the projector's take-up reel", "a flashlight", "the keys", "a folded letter",
          "the sale contract", "a red velvet rope", "a stack of handbills", "the popcorn scoop"]

PLACES = ["the booth", "the lobby", "the river", "the council", "the city", "the bank",
          "the archive", "the diner", "the roof", "Main Street", "the county fair",
          "the bus station"]

DAYS = ["Friday", "Saturday night", "the first of the month", "tomorrow", "Sunday",
        "the end of the week", "ten days", "Thursday"]

ACTION_OPENINGS = [
    "{A} threads the projector by feel, lips moving as she counts the sprocket holes.",
    "Rain sheets across the marquee. Half the bulbs are out; it reads TH  ORPH UM.",
    "Dust turns slowly in the beam of the projector.",
    "The lobby is empty except for {A}, who straightens a poster that is already straight.",
    "A single working streetlight. Somewhere a dog decides it has said enough.",
    "The diner hums: coffee machine, refrigerator, a radio nobody is listening to.",
    "Folding chairs in rows. Most of them are taken, which is a first.",
    "Morning light through a high window. Shelves of film cans vanish into the dark.",
    "{A} sits alone at the kitchen table. A stack of unopened envelopes in front of {him_A}.",
    "Wind across the flat roof. The town spread out below, smaller than it used to be.",
    "The car's heater roars and accomplishes nothing.",
    "Fluorescent tubes flicker awake, one after another.",
]

ACTION_MIDDLE = [
    "{A} picks up {thing}, weighs it, sets it down again.",
    "{A} looks at {B} for a long moment.",
    "{B} doesn't answer. {He_B} is busy with {thing}.",
    "{A} crosses to the window. Outside, a truck backs up, beeping.",
    "{B} slides {thing} across the table.",
    "{A} almost laughs. Almost.",
    "A beat. Somewhere below, a door bangs shut.",
    "{B} checks {his_B} watch, then checks it again.",
    "{A} pockets {thing} when nobody is looking.",
    "{B} leans in the doorway, arms folded.",
    "{A} turns off the light. {He_A} stands in the dark for a second before {he_A} leaves.",
    "{B} sits down heavily in the nearest seat. It creaks.",
    "The phone rings. Nobody moves to answer it.",
    "{A} runs a finger along the edge of {thing}. Dust.",
    "{B} starts to say something, thinks better of it.",
    "The projector clatters, catches, and runs smooth.",
    "{A} and {B} reach for {thing} at the same moment.",
    "{B} reads the first line of {thing} and goes pale.",
    "{A} paces. Stops. Paces the other way.",
    "Outside, the marquee buzzes and goes dark.",
]

ACTION_CLOSING = [
    "{A} watches {B} go.",
    "{A} is alone again. {He_A} doesn't mind as much as {he_A} thought.",
    "On the screen behind them, the film runs out. White light.",
    "{B} is already gone.",
    "The door swings shut on its own.",
    "{A} smiles for the first time today.",
    "The last light in the building goes out.",
    "{A} writes something on the back of {thing} and pins it to the wall.",
]

PARENTHETICALS = ["(quietly)", "(not looking up)", "(beat)", "(to {B})", "(off {his_B} look)",
                  "(too quickly)", "(reading)", "(into the phone)", "(a little hurt)",
                  "(dry)", "(half to herself)", "(then)", "(muffled)", "(re: {thing})"]

LINES = {
    "question": [
        "How long have you known?",
        "Where were you on {day}?",
        "Did you even read it?",
        "Is that {thing}?",
        "Who else knows about this?",
        "What did {C} tell you?",
        "You're not seriously going to {place}, are you?",
        "When was the last time this place was full?",
        "Why does everyone keep asking me that?",
        "What happens to the films?",
        "Can it be fixed by {day}?",
        "Do you remember the first picture you saw here?",
    ],
    "answer": [
        "Long enough.",
        "I told you. I was at {place}.",
        "Every word. Twice.",
        "It was, once.",
        "Nobody. Yet.",
        "Not as much as she thinks.",
        "Somebody has to.",
        "Nineteen seventy-four. They had to turn people away.",
        "Because you keep not answering.",
        "They go in a skip. Unless somebody wants them.",
        "If I don't sleep. Which I don't.",
        "A western. I was so scared of the horses I watched it from under the seat.",
        "I don't know. I really don't.",
        "Ask {C}. {He_C} was there.",
    ],
    "plan": [
        "One night. One show. We sell every seat.",
        "We need the projector running by {day}.",
        "If the council sees a full house, they can't vote it down.",
        "I can get the posters printed. Don't ask me how.",
        "Oscar knows every family in this town. Give him the handbills.",
        "We run the print from the archive. Nobody's seen it in forty years.",
        "Teddy does the sound. I do the booth. June does the door.",
        "We open the balcony. It's safe. Mostly.",
        "You talk to {C}. I'll take care of {place}.",
        "It doesn't have to be perfect. It has to be full.",
    ],
    "argument": [
        "You don't get to decide that for me.",
        "This building is falling down around your ears, and you're polishing the brass.",
        "It's a business, Margo. It stopped being a business years ago.",
        "Don't tell me what my father would have wanted.",
        "I signed nothing. Read it again.",
        "You think I want to sell? I have to sell.",
        "Everybody's very sentimental until the roof needs fixing.",
        "I'm not the villain here. I'm just the one holding the pen.",
        "Then find me the money. Find me the money by {day} and I'll tear it up myself.",
        "You had ten years to say something.",
        "That's not fair, and you know it.",
    ],
    "warm": [
        "You did good today, kid.",
        "Your aunt used to sneak me in the side door. Don't tell anyone.",
        "It's not the pictures. It's sitting in the dark with everybody else.",
        "Sit down. Have some coffee. It's terrible, but it's hot.",
        "I kept your ticket stub. From the first time. Isn't that stupid?",
        "Thank you. I mean it.",
        "You always did like the last row.",
        "He'd have liked you. He liked people who argued with him.",
        "Whatever happens, we did this. Nobody takes that away.",
    ],
    "comic": [
        "The popcorn machine is on fire. Small fire. Medium fire.",
        "I am not climbing up there. I have a condition. It's called sense.",
        "Officially, I am not here. Unofficially, can I have a hot dog?",
        "It's a projector, not a bomb. Although, now that you mention it.",
        "Oscar says he's seen worse. Oscar was at the premiere of the talkies.",
        "Do we have a permit for the elephant? I'm joking. Mostly.",
        "If anyone asks, the smoke is atmosphere.",
        "The ticket machine ate my sandwich.",
    ],
}

MOODS = {
    "question": ["question", "answer"], "plan": ["plan", "question", "answer"],
    "argument": ["argument", "argument", "question"], "warm": ["warm", "answer"],
    "comic": ["comic", "question", "answer"],
}

TRANSITIONS = ["CUT TO:", "DISSOLVE TO:", "SMASH CUT TO:", "MATCH CUT TO:"]

SHOTS = ["CLOSE ON {thing}", "ANGLE ON THE MARQUEE", "INSERT - THE SALE CONTRACT",
         "WIDE - THE EMPTY AUDITORIUM", "POV - THROUGH THE PROJECTION PORT"]

PRONOUNS = {"MARGO": "f", "TEDDY": "m", "HALVERSEN": "m", "DELIA": "f", "OSCAR": "m",
            "JUNE": "f", "RUIZ": "m", "PRU": "f"}


def pronouns(name, suffix):
    female = PRONOUNS.get(name, "m") == "f"
    return {"he_" + suffix: "she" if female else "he", "He_" + suffix: "She" if female else "He",
            "him_" + suffix: "her" if female else "him", "his_" + suffix: "her" if female else "his"}


def fill(text, rng, a, b, c):
    values = {"A": a.capitalize() if a.isupper() else a, "B": b.capitalize(),
              "C": c.capitalize(), "thing": rng.pick(THINGS), "place": rng.pick(PLACES),
              "day": rng.pick(DAYS)}
    values["A"] = a.title()
    values.update(pronouns(a, "A"))
    values.update(pronouns(b, "B"))
    values.update(pronouns(c, "C"))
    return text.format(**values)


def scene(script, rng, number, introduced, cast=CAST, locations=LOCATIONS, lines=LINES,
          moods=MOODS):
    where = rng.pick(locations)
    when = rng.pick(TIMES)
    script.add("S", "%s %s - %s" % (where[0], where[1], when))
    people = [rng.pick(cast)]
    while len(people) < 2 + rng.below(2):
        who = rng.pick(cast)
        if who not in people:
            people.append(who)
    a, b = people[0], people[1]
    c = people[2] if len(people) > 2 else rng.pick([p for p in cast if p not in people])

    opening = fill(rng.pick(ACTION_OPENINGS), rng, a, b, c)
    newcomers = [p for p in people if p not in introduced and p in INTRODUCTIONS]
    for person in newcomers:
        introduced.add(person)
        opening += " " + INTRODUCTIONS[person] + " " + fill(
            rng.pick(["waits by the door.", "is already here.", "looks up.",
                      "comes in, shaking off the rain.", "has been waiting a while."]),
            rng, person, b, c)
    script.add("A", opening)
    if rng.chance(15):
        script.add("H", fill(rng.pick(SHOTS), rng, a, b, c).upper())
        script.add("A", fill(rng.pick(ACTION_MIDDLE), rng, a, b, c))

    mood = rng.pick(list(moods))
    speeches = 4 + rng.below(9)
    speaker = 0
    for turn in range(speeches):
        name = people[speaker]
        other = people[(speaker + 1) % len(people)]
        script.add("C", name + (" (O.S.)" if rng.chance(4) else ""))
        if rng.chance(22):
            script.add("P", fill(rng.pick(PARENTHETICALS), rng, name, other, c))
        kind = rng.pick(moods[mood])
        text = fill(rng.pick(lines[kind]), rng, name, other, c)
        if rng.chance(30):
            more = fill(rng.pick(lines[rng.pick(moods[mood])]), rng, name, other, c)
            if more != text:
                text += " " + more
        script.add("D", text)
        if rng.chance(25):
            script.add("A", fill(rng.pick(ACTION_MIDDLE), rng, name, other, c))
        speaker = (speaker + 1 + (1 if rng.chance(20) else 0)) % len(people)
    if rng.chance(60):
        script.add("A", fill(rng.pick(ACTION_CLOSING), rng, a, b, c))
    if rng.chance(35):
        script.add("T", rng.pick(TRANSITIONS))


def feature(title, author, seed, target, notes=()):
    script = Script([("Title", title), ("Written by", author), ("Draft", "Third Draft"),
                     ("Setup", "Feature.stp"), ("Scheme", "White.scm")])
    for note in notes:
        script.add("N", note)
    script.add("T", "FADE IN:")
    rng = Random(seed)
    introduced = set()
    number = 1
    while script.size() < target - 40:
        scene(script, rng, number, introduced)
        number += 1
    script.add("T", "FADE OUT.")
    script.add("A", "THE END")
    return script.bytes()


def sample():
    return feature("THE LAST REEL", "Nell Ashdown", 0x5EED2003, 139869)


# ---------------------------------------------------------------------------
# Television: a three-camera comedy and a taped live show.

SITCOM_CAST = ["GUS", "RENATA", "MILO", "DOT"]
SITCOM_LINES = {
    "comic": [
        "I'm not saying it's haunted. I'm saying it ate my keys.",
        "Renata, you cannot return a dog because it has opinions.",
        "That's the worst idea I've ever heard. When do we start?",
        "I have a system. The system is panic.",
        "Don't look at me. I was here the whole time. Hiding.",
        "It's not a lie. It's a story with a deadline.",
        "Milo, put the ferret down. Slowly.",
        "My mother said there'd be days like this. She was talking about Tuesdays.",
        "I baked a cake to say sorry. Then I ate the cake. So, sorry twice.",
        "You can't just move into a bakery, Milo. Health codes. Also, me.",
        "Technically the ferret is a tenant. He's been here longer than you.",
        "I am calm. This is my calm voice. It's louder than I expected.",
        "Dot, I need a favour. It involves a ladder and no questions.",
        "We agreed no pets. You said nothing about weasels.",
        "I'll have you know I have been banned from better places than this.",
        "Every time you say trust me, a landlord somewhere starts crying.",
    ],
    "question": [
        "Where's the remote?", "Who let him in?", "Is that my sweater?",
        "Why is the couch wet?", "What did you tell Dot?", "Is it Tuesday?",
        "Who ordered forty pizzas?", "Where does he sleep?", "Did you lock the door?",
    ],
    "answer": [
        "In the fridge. Don't ask.", "He has a key now. Long story.",
        "It was. It's a dog bed now.", "Define wet.", "Everything. Nothing. Some things.",
        "Emotionally? Always.", "Milo. In my defence, they were on sale.",
        "In the bread drawer. He likes the rye.", "I locked a door. Not that one.",
    ],
}
SITCOM_MOODS = {"comic": ["comic", "question", "answer"]}


def three_camera():
    script = Script([("Title", "DOWNSTAIRS"), ("Episode", "\"The Ferret\" (#104)"),
                     ("Written by", "Cass Deloach"), ("Draft", "Table Draft"),
                     ("Setup", "TV-ThreeCamera.stp"), ("Scheme", "White.scm")])
    rng = Random(0x3CA3)
    script.add("B", "ACT ONE")
    script.add("S", "SCENE A")
    script.add("S", "INT. GUS AND RENATA'S APARTMENT - NIGHT (NIGHT 1)")
    script.add("A", "(GUS, RENATA, MILO)")
    script.add("A", "GUS IS ON THE COUCH WITH A BOWL OF CEREAL. RENATA ENTERS WITH A PET "
                    "CARRIER AND A LOOK OF GRIM DETERMINATION.")
    part = 0
    while script.size() < 8342 - 300:
        part += 1
        if part == 5:
            script.add("T", "DISSOLVE TO:")
            script.add("S", "SCENE B")
            script.add("S", "INT. DOT'S BAKERY - CONTINUOUS (NIGHT 1)")
            script.add("A", "(DOT, MILO)")
        for turn in range(6):
            name = rng.pick(SITCOM_CAST)
            script.add("C", name)
            if rng.chance(20):
                script.add("P", rng.pick(["(BEAT)", "(TO CAMERA)", "(SOTTO)", "(OFF LOOK)"]))
            script.add("D", rng.pick(SITCOM_LINES[rng.pick(SITCOM_MOODS["comic"])]))
            if rng.chance(25):
                script.add("A", rng.pick(["(LAUGH)", "MILO CROSSES TO THE DOOR.",
                                          "THE FERRET ESCAPES UNDER THE COUCH.",
                                          "RENATA SITS ON THE CEREAL."]))
    script.add("T", "FADE OUT.")
    script.add("B", "END OF ACT ONE")
    return script.bytes()


def tape_live():
    script = Script([("Title", "GOOD EVENING, RIVERTON"), ("Episode", "Show 212"),
                     ("Written by", "Hal Brennick"), ("Draft", "Air Draft"),
                     ("Setup", "TV-TapeLive.stp"), ("Scheme", "White.scm")])
    rng = Random(0x7A9E)
    segments = [("COLD OPEN", "STAGE - HOST MARK"), ("MONOLOGUE", "STAGE - HOST MARK"),
                ("DESK PIECE: TOWN NEWS", "HOST DESK"), ("GUEST: THE MAYOR", "HOST DESK"),
                ("MUSIC: THE RIVERTON FOUR", "BANDSTAND"), ("GOODNIGHTS", "STAGE")]
    host_lines = [
        "Good evening, Riverton! Thank you, thank you. Please, sit down, the chairs are rented.",
        "Big week in town. The council voted to fix the pothole on Elm. The pothole voted no.",
        "Our first guest has been mayor for twelve years, which in Riverton is a short time.",
        "Folks, the Riverton Four! They're three people, but don't tell them.",
        "The library is having a sale on overdue books. You know who you are.",
        "That's our show. Drive safe, tip your waitress, and stay off Elm Street.",
        "We'll be right back after this.",
        "Mrs. Odell writes: Dear Mark, your tie frightened my cat. Mrs. Odell, it frightens me too.",
        "The county fair is this weekend. The pie judges have asked for police protection.",
        "Here she is with Petunia, three years running the finest goat in the county!",
        "The forecast: weather. Possibly a lot of it. We'll know when it gets here.",
        "Our floor manager is telling me to wrap up. He does that with his whole face.",
        "And now a word from our sponsor, Halloran's Hardware: if it's broken, they've got it.",
    ]
    segments = segments[:-1] + [("DESK PIECE: LETTERS FROM VIEWERS", "HOST DESK"),
                                ("FIELD PIECE: THE COUNTY FAIR", "MONITOR WALL"),
                                ("GUEST: MRS. ODELL AND HER PRIZE GOAT", "INTERVIEW SET"),
                                ("MUSIC: THE RIVERTON FOUR (REPRISE)", "BANDSTAND"),
                                segments[-1]]
    for number, (title, place) in enumerate(segments, 1):
        script.add("B", "SEGMENT %d - %s" % (number, title))
        script.add("S", "INT. STUDIO A - %s - LIVE" % place)
        script.add("H", rng.pick(["CAMERA 1: WIDE", "CAMERA 2: HOST MCU", "CAMERA 3: AUDIENCE",
                                  "CAMERA 2: TWO SHOT"]))
        script.add("A", "(APPLAUSE SIGN. BAND STING.)")
        for turn in range(5 + rng.below(3)):
            script.add("C", "MARK" if rng.chance(70) else rng.pick(["ANNOUNCER", "MAYOR"]))
            script.add("D", rng.pick(host_lines))
            if rng.chance(30):
                script.add("A", "(LAUGHTER)")
        script.add("T", "CUT TO:" if number < len(segments) else "FADE TO BLACK.")
    return script.bytes()


# ---------------------------------------------------------------------------
# The tutorial carried by the main program: notes on every element, then a
# practice script to read and change.

TUTORIAL_NOTES = [
    "Welcome to Veltranox. This tutorial is a script like any other: read it, change it, "
    "print it. Notes such as this one are never printed.",
    "Every paragraph of a script is an element. Veltranox shows the element of the "
    "paragraph at the cursor in the status bar; Ctrl+1 to Ctrl+8 change it.",
    "A scene heading says where and when: INT. or EXT., the place, then the time of day. "
    "Type INT. and Veltranox knows you are starting a scene.",
    "Action describes what we see and hear. Keep it in the present tense and keep it short.",
    "A character name comes before every speech. Press TAB after action to start one, and "
    "ENTER after the name to start the dialogue.",
    "A parenthetical tells the actor how a line is said, or to whom. Type ( at the start of "
    "a dialogue line and Veltranox moves it into place.",
    "Transitions such as CUT TO: go at the right margin. Most scripts use them sparingly.",
    "Shots (CLOSE ON, ANGLE ON, INSERT) direct the camera. Leave most of them to the "
    "director.",
    "When you have read the practice script, try the print setups: the same text becomes a "
    "feature, a stage play or a television script.",
]


def tutorial(target):
    return feature("PRACTICE SCRIPT: OPENING NIGHT", "Tervick Software", 0x7070A1, target,
                   notes=TUTORIAL_NOTES)
