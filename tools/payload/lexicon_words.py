"""Base words of the Veltranox English dictionary, by kind. lexicon.py
derives the inflected forms."""

NOUNS = """
ability absence academy accent accident account achievement acid act action actor actress
address adult advantage adventure advice affair age agency agent agreement air aircraft
airport alarm album alley alligator amount anchor angel anger angle animal ankle answer
ant apartment apology apple appointment april arch archive area argument arm army arrival
arrow art article artist ash aspect assistant atmosphere attack attempt attention attic
audience aunt author autumn avenue award baby back background bag bakery balance balcony
ball balloon band bandage bank banner bar barn barrel base basement basket bat bath
bathroom battery battle bay beach beam bean bear beard beat bed bedroom bee beer beginning
behaviour belief bell belt bench bicycle bill bird birth birthday biscuit bit bite blade
blanket block blood blossom board boat body bolt bomb bone bonus book boot border bottle
bottom boundary bowl box boy brain branch brand bread breakfast breath brick bride bridge
brother brush bucket budget building bulb bullet bunch burden bus bush business butter
button cabin cabinet cable cafe cake calendar call camera camp campaign canal cancer
candle cap capital captain car card care career carpet carriage case cash castle cat
cause ceiling cell cellar centre century ceremony chain chair chairman chalk challenge
champion chance change channel chapter character charge chart check cheek cheese chest
chicken chief child chimney chin chip chocolate choice chorus church cigarette cinema
circle citizen city claim class classroom clerk cliff climate clock closet cloth cloud
club clue coach coal coast coat code coffee coin collar collection college colour column
comedy comfort command comment committee company competition complaint computer concern
concert condition conference confidence connection contract control conversation cook
copy corner cost costume cottage cotton couch council count counter country couple courage
course court cousin cover cow crack craft crash cream creature credit crew crime criminal
crisis critic crop cross crowd crown cry cup cupboard curtain curve cushion customer cut
cycle dad damage dance danger date daughter day deadline deal dealer death debt decade
decision deck degree delay delivery demand dentist department desert design desk detail
detective device diamond diary dinner direction director dirt disaster discount discovery
disease dish distance district doctor document dog doll dollar door doorway dot doubt
draft dragon drain drama drawer drawing dream dress drink driver drop drum duck dust duty
eagle ear earth east edge editor effect effort egg elbow election elephant elevator
emergency emotion employee end enemy energy engine engineer entrance envelope error escape
estate evening event evidence exam example excuse exercise exit experience expert eye
face fact factory failure fair faith fall family fan farm farmer fashion father fault fear
feature fee feeling fence festival fever field fight figure file film finger fire fish
flag flame flash flat flavour flight floor flower fly focus fog fold folder food foot
force forest fork form fortune fountain frame friend frog front fruit fuel fun funeral
furniture future gallery game gap garage garden gas gate gear ghost gift girl glass glove
goal goat gold golf government grade grain grandfather grandmother grass grave ground
group guard guess guest guide guitar gun habit hair half hall hallway hammer hand handle
harbour hat head headline health heart heat heaven height helicopter hero highway hill
history hobby hole holiday home honey hook hope horizon horn horse hospital host hotel
hour house hunger husband ice idea image impact income industry information injury ink
insect inside instance instrument insurance interest interview invitation iron island
item jacket jail jar jaw jeans jewel job joke journey judge juice jump jungle jury kettle
key kid kingdom kitchen kite knee knife knot label ladder lady lake lamp land landlord
language laptop laugh lawyer layer leader leaf lecture leg lemon lesson letter level
library license lid life lift light limit line link lip list living load loan lobby
location lock log loss lot luck lunch machine magazine magic mail manager map marble
march margin mark market marriage mask master match material matter meal meaning measure
meat medal medicine meeting member memory menu message metal method middle midnight mile
milk mind minister minute mirror mistake mixture model moment money monitor monkey month
mood moon morning mother motor mountain mouse mouth movie mud murder museum music mystery
nail name napkin nation nature neck needle neighbour nephew nerve nest net network news
newspaper niece night noise noon north nose note notebook notice novel number nurse
object ocean offer office officer oil onion opening opera operation opinion orange order
organ outfit oven owner pace package page pain paint painting pair palace pan panel panic
paper parade parcel parent park parking part partner party passage passenger passport
past path patient pattern pause payment peace pen pencil pension pepper period permit
person phone photo piano picture pie piece pig pile pill pillow pilot pin pipe pit pitch
place plan plane planet plant plate platform play player pleasure plot pocket poem poet
point poison pole police politician pond pool porch port portrait position post poster
pot potato pound powder power prayer present president pressure price pride priest
prince princess print prison prisoner prize problem process producer product profit
program project promise proof property proposal prospect protest pub public pump pupil
puppet purpose purse puzzle quality quarter queen question queue quote rabbit race radio
rail rain range rank rat rate reaction reader reason receipt record recorder reel
reflection region rehearsal relation relief remark rent report request rescue research
reserve resident response rest restaurant result return review reward rhythm rice ride
ring risk river road rock role roll roof room root rope rose round route row rule rumour
sack sail sailor salad sale salt sample sand sandwich scale scene schedule scheme school
science scissors score scream screen screenplay script sea seal search season seat second
secret secretary section sector security seed seller sense sentence series servant
service session setting shadow shake shame shape share shelf shell shelter shift ship
shirt shock shoe shop shore shot shoulder shout show shower side sign signal silence
silver singer sink sister site situation size skill skin skirt sky sleep sleeve slice
slide slope smell smile smoke snack snake snow soap sock sofa soldier solution son song
sound soup source south space speaker speech speed spell spider spirit spoon sport spot
spring square stable staff stage stair stamp stand star start state statement station
statue status step stick stock stomach stone stool store storm story stove strain
stranger strategy stream street strength stress string stripe student studio study
stuff style subject success sugar suggestion suit summer sun supper supply surface
surprise survey suspect sweater symbol system table tail tale talent talk tank tape
target task taste tax taxi tea teacher team tear technique teenager telephone television
temper temperature temple tenant tent term test text theatre theme theory thing thought
thread threat throat thumb thunder ticket tide tie tiger timber time tin tip title toast
toe toilet tomato tone tongue tool tooth top topic torch total touch tour tourist towel
tower town toy track trade tradition traffic tragedy trail train trainer transition
trap tray treasure treat tree trial triangle trick trip trouble truck trunk trust truth
tube tune tunnel turn twin type umbrella uncle uniform union unit universe university
usher vacation valley value van vault vehicle version victim view village violin visit
visitor voice volume vote wage wagon waist waiter wall wallet war wardrobe warning wash
watch water wave way weapon weather wedding week weekend weight west wheel whistle
widow width wife will win wind window wine wing winner winter wire witness wolf wonder
wood word work worker world worm wound wrist writer yard year yesterday youth zone
marquee projector projectionist splice sprocket premiere matinee usherette balcony
""".split()

# Nouns with irregular plurals: singular plural.
IRREGULAR_NOUNS = """
man men woman women child children person people foot feet tooth teeth mouse mice
goose geese knife knives wife wives life lives leaf leaves wolf wolves half halves
shelf shelves thief thieves loaf loaves calf calves sheep sheep fish fish deer deer
crisis crises analysis analyses thesis theses phenomenon phenomena criterion criteria
""".split()

VERBS = """
accept accuse achieve act add admire admit adopt advise afford agree aim allow amuse
announce annoy answer apologise appear applaud apply appoint appreciate approach approve
argue arrange arrest arrive ask attach attack attempt attend attract avoid bake balance
ban bang bathe battle beg behave belong blame bless blink block boast boil bolt bomb book
bore borrow bounce bow box brake breathe brush bump burn bury buzz calculate call camp
care carry carve cause challenge change charge chase chat cheat check cheer chew choke
chop claim clap clean clear climb close coach collect colour comb command comment
compare compete complain complete concentrate concern confess confuse connect consider
contain continue copy correct cough count cover crack crash crawl cross crush cry cure
curl curve cycle dam damage dance dare decay deceive decide decorate delay delight
deliver depend describe desert deserve destroy detect develop disagree disappear
disapprove disarm discover dislike divide double doubt drag drain dream dress drip drop
drown drum dry dump dust earn educate embarrass employ empty encourage end enjoy enter
entertain escape examine excite excuse exercise exist expand expect explain explode
extend face fade fail fancy fasten fax fear fence fetch file fill film fire fit fix flap
flash float flood flow flower fold follow force form found frame frighten fry gather
gaze glow glue grab grate grease greet grin grip groan guarantee guard guess guide
hammer hand handle hang happen harass harm hate haunt head heal heap heat help hook hop
hope hover hug hum hunt hurry identify ignore imagine impress improve include increase
influence inform inject injure instruct intend interest interfere interrupt introduce
invent invite irritate itch jail jam jog join joke judge juggle jump kick kill kiss kneel
knit knock knot label land last laugh launch learn level license lick lie lighten like
list listen live load lock long look love manage march mark marry match mate matter
measure melt memorise mend milk mine miss mix moan moor mourn move muddle mug multiply
murder nail name need nest nod note notice number obey object observe obtain occur offend
offer open order overflow owe own pack paddle paint park part pass pause peck pedal peel
peep perform permit phone pick pinch pine place plan plant play please plug point poke
polish pop possess post pour practise pray preach precede prefer prepare present preserve
press pretend prevent prick print produce program promise protect provide pull pump punch
puncture punish push question queue race radiate rain raise reach realise receive
recognise record reduce reflect refuse regret reign reject rejoice relax release rely
remain remember remind remove repair repeat replace reply report reproduce request rescue
retire return rhyme rinse risk rob rock roll rot rub ruin rule rush sack sail satisfy save
saw scare scatter scold scorch scrape scratch scream screw scribble scrub seal search
separate serve settle shade share shave shelter shiver shock shop shrug sigh sign signal
sin sip ski skip slap slip slow smash smell smile smoke snatch sneeze sniff snore snow soak
soothe sound spare spark sparkle spell spill spoil spot spray sprout squash squeak squeal
squeeze stain stamp stare start stay steer step stir stitch stop store strap strengthen
stretch strip stroke stuff subtract succeed suck suffer suggest suit supply support
suppose surprise surround suspect suspend switch talk tame tap taste tease telephone
tempt terrify test thank thaw tick tickle tie time tip tire touch tour tow trace trade
train transport trap travel treat tremble trick trip trot trouble trust try tug tumble
turn twist type undress unfasten unite unlock unpack untidy use vanish visit wail wait
walk wander want warm warn wash waste watch water wave weigh welcome whine whip whirl
whisper whistle wink wipe wish wobble wonder work worry wrap wreck wrestle wriggle yawn
yell zip zoom rehearse edit direct rewrite cast shoot splice project screen premiere
""".split()

# Irregular verbs: base, past, past participle.
IRREGULAR_VERBS = """
arise arose arisen awake awoke awoken be was been bear bore borne beat beat beaten
become became become begin began begun bend bent bent bet bet bet bid bid bid bind bound
bound bite bit bitten bleed bled bled blow blew blown break broke broken breed bred bred
bring brought brought build built built burst burst burst buy bought bought catch caught
caught choose chose chosen cling clung clung come came come cost cost cost creep crept
crept deal dealt dealt dig dug dug do did done draw drew drawn drink drank drunk drive
drove driven eat ate eaten fall fell fallen feed fed fed feel felt felt fight fought
fought find found found flee fled fled fling flung flung fly flew flown forbid forbade
forbidden forget forgot forgotten forgive forgave forgiven freeze froze frozen get got
gotten give gave given go went gone grind ground ground grow grew grown hear heard heard
hide hid hidden hit hit hit hold held held hurt hurt hurt keep kept kept know knew known
lay laid laid lead led led leave left left lend lent lent let let let lose lost lost make
made made mean meant meant meet met met pay paid paid put put put quit quit quit read
read read ride rode ridden ring rang rung rise rose risen run ran run say said said see
saw seen seek sought sought sell sold sold send sent sent set set set shake shook shaken
shine shone shone shrink shrank shrunk shut shut shut sing sang sung sink sank sunk sit
sat sat sleep slept slept slide slid slid speak spoke spoken spend spent spent spin spun
spun split split split spread spread spread spring sprang sprung stand stood stood steal
stole stolen stick stuck stuck sting stung stung stink stank stunk strike struck struck
swear swore sworn sweep swept swept swim swam swum swing swung swung take took taken
teach taught taught tear tore torn tell told told think thought thought throw threw
thrown understand understood understood wake woke woken wear wore worn weep wept wept
win won won wind wound wound write wrote written
""".split()

ADJECTIVES = """
able absent active actual afraid alert alive angry annual anxious apparent asleep aware
awful bad bare basic beautiful bitter blank blind blond blue bold bored brave brief bright
brilliant broad brown busy calm capable careful casual cautious central certain cheap
cheerful chief civil clean clear clever close cloudy clumsy cold comfortable common
complete complex confident conscious constant cool correct cosy crazy creative cruel
curious current cute damp dangerous dark dead deaf dear decent deep definite delicate
dense direct dirty distant divine dizzy double dramatic dry dull dusty eager early easy
elderly electric elegant empty endless enormous entire equal essential even evil exact
excellent exotic expensive extra extreme fair faint faithful false familiar famous fancy
fast fat fatal fierce final fine firm flat fond foolish formal fortunate free frequent
fresh friendly front full funny gentle genuine giant glad gloomy golden good gorgeous
graceful grand grateful grave great greedy green grey grim gross guilty handsome happy
hard harsh healthy heavy helpful helpless hidden high hollow holy honest hot huge humble
hungry ideal idle ill immense important impossible innocent intense jealous jolly keen
kind large late lazy lean legal light likely little live lively local lonely long loose
loud lovely low loyal lucky mad magic main major massive mature mean mere mild minor
modern modest moist narrow nasty natural neat nervous new nice noble noisy normal
numerous odd official old open orange ordinary original pale patient perfect permanent
personal plain pleasant plenty polite poor popular possible powerful precious pretty
private probable proper proud pure purple quick quiet rapid rare raw ready real red
regular relaxed remote rich right rigid ripe rough round royal rude rural sad safe salty
sane scared secret secure selfish senior sensible serious severe shallow sharp short shy
sick silent silly simple sincere single slight slim slow small smart smooth soft solid
sorry sour spare special splendid square stable stale steady steep stiff still strange
strict strong stupid sudden sunny super sure sweet swift tall tame tender terrible thick
thin tidy tight tiny tired total tough tragic tremendous true typical ugly unique united
unusual upper urgent useful usual vague valid vast violent visible vital vivid warm weak
wealthy weird wet white whole wicked wide wild willing wise witty wonderful wooden worried
worthy wrong yellow young
""".split()

OTHERS = """
a about above across after afterwards again against ago ahead all almost alone along
already also although always among an and another any anybody anyhow anyone anything
anyway anywhere apart around as aside at away back backwards because before beforehand
behind below beneath beside besides between beyond both but by could despite down during
each either else elsewhere enough ever every everybody everyone everything everywhere
except far few for forever forward from hence her here hers herself him himself his how
however i if in indeed inside instead into it its itself just least less lest many may
maybe me meanwhile might mine more moreover most mostly much must my myself near nearly
neither never nevertheless next no nobody none nor not nothing now nowhere of off often
on once only onto or other otherwise ought our ours ourselves out outside over own per
perhaps please quite rather round seldom several shall she should since so some somebody
somehow someone something sometimes somewhere soon still such than that the their theirs
them themselves then there therefore these they this those though through throughout thus
till to today together tomorrow tonight too toward towards under underneath unless until
up upon us very via was we well were what whatever when whenever where whereas wherever
whether which while who whoever whom whose why will with within without would yet you
your yours yourself yourselves yes okay goodbye hello sorry thanks
one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen
sixteen seventeen eighteen nineteen twenty thirty forty fifty sixty seventy eighty ninety
hundred thousand million first second third fourth fifth sixth seventh eighth ninth tenth
""".split()

# Screenwriting terms and abbreviations the checker accepts as they stand.
TERMS = """
INT EXT I/E V.O. O.S. O.C. CONT'D POV INTERCUT SUPER FADE DISSOLVE MONTAGE FLASHBACK
SMASH CU ECU MCU MS WS ANGLE INSERT SFX VFX CGI MOS TITLE PRELAP BEAT SOTTO ADR
teleplay screenwriter storyboard showrunner logline outline treatment slugline subtext
walla dolly crane steadicam gaffer grip clapperboard storyline dailies
""".split()

PROPER = """
January February March April May June July August September October November December
Monday Tuesday Wednesday Thursday Friday Saturday Sunday
America American England English Europe European Christmas Easter Hollywood Broadway
Veltranox Tervick Windows
""".split()

# Synonym groups for the thesaurus: part of speech, then words of one sense.
SYNONYMS = """
n: anger fury rage wrath temper
n: fear dread terror panic fright alarm
n: joy delight pleasure happiness glee
n: house home building cottage residence
n: road street avenue lane highway route path
n: car vehicle automobile wagon van
n: film movie picture feature
n: theatre cinema playhouse
n: story tale account narrative plot
n: idea thought notion concept plan
n: problem trouble difficulty issue crisis
n: friend companion partner ally mate
n: enemy foe rival opponent
n: talk conversation chat discussion dialogue
n: noise sound din racket clamour
n: silence quiet hush stillness calm
n: money cash funds capital
n: job work task duty chore
n: journey trip tour voyage excursion
n: mistake error fault slip blunder
n: answer reply response reaction
n: question query inquiry request
n: secret mystery puzzle riddle
n: power strength force might energy
n: end finish close conclusion ending
n: start beginning opening outset
n: chance opportunity opening break
n: room chamber hall space
n: picture image photo portrait drawing
n: speed pace rate tempo
n: crowd audience throng mob mass
n: shop store market
n: gift present offering bonus
n: threat danger risk menace
n: help aid assistance support relief
n: light glow gleam flash beam
n: dark darkness shadow gloom
v: say state declare announce remark mention
v: tell inform notify advise
v: ask question inquire query
v: walk stroll march wander stride tramp
v: run race dash hurry rush sprint
v: look glance stare gaze peer peep
v: see notice observe spot detect
v: take grab seize snatch grip
v: give offer present hand supply provide
v: make build form create produce construct
v: break crack smash shatter split
v: hide conceal bury cover
v: begin start launch open
v: end finish close stop complete
v: help aid assist support
v: think consider suppose imagine believe
v: shout yell scream cry call
v: whisper murmur mutter mumble
v: laugh giggle chuckle grin smile
v: cry weep sob wail
v: hit strike punch slap knock
v: throw toss fling hurl pitch
v: pull drag tug haul draw
v: push shove press thrust
v: leave depart exit go quit
v: arrive come reach enter
v: want wish desire long crave
v: like enjoy love admire fancy
v: hate dislike loathe detest
v: fix repair mend restore
v: ruin spoil wreck destroy damage
v: try attempt strive struggle
v: change alter shift turn adjust
v: keep hold retain preserve save
v: move shift stir budge
v: wait stay remain linger pause
v: worry fret brood
v: scare frighten terrify alarm shock
a: happy glad cheerful jolly merry
a: sad unhappy gloomy miserable sorry
a: angry mad cross furious irritated
a: big large huge enormous giant vast massive
a: small little tiny minor slight
a: fast quick rapid swift speedy
a: slow gradual steady leisurely
a: quiet silent still calm hushed
a: loud noisy shrill
a: old ancient aged elderly
a: new fresh modern novel recent
a: good fine excellent great splendid
a: bad awful terrible dreadful poor
a: strange odd weird curious unusual peculiar
a: brave bold daring fearless heroic
a: afraid scared frightened nervous fearful
a: clever smart bright brilliant wise
a: stupid foolish silly dull dim
a: beautiful lovely pretty gorgeous handsome
a: ugly plain hideous
a: rich wealthy prosperous
a: poor needy broke
a: hard difficult tough rough
a: easy simple plain effortless
a: kind gentle tender caring friendly
a: cruel harsh brutal vicious
a: dark dim gloomy murky shadowy
a: bright brilliant vivid shining
a: tired weary exhausted sleepy
a: dirty filthy grimy dusty muddy
a: clean neat tidy spotless
a: important vital essential major serious
a: true real genuine actual correct
a: wrong false incorrect mistaken
""".strip().split("\n")

# More base words, added as the dictionary grew.
NOUNS += """
abbey accountant acre admiral advertisement aerial affection agenda aisle alibi alphabet
ambition ambulance amusement anecdote anthem antique anxiety apron aquarium arena
armchair arrangement ashtray asylum athlete attorney auction auditorium avalanche axe
backstage badge baggage bait ballot bandit banquet barber bargain barrier basin bathtub
beacon beast bedside beetle beggar believer benefit bishop blackboard blister blizzard
blouse bodyguard boiler bookcase bookshop boulevard bouquet boxer bracelet brake breeze
brewery bribe briefcase broadcast brochure broom bruise bubble buckle buffet bulletin
bundle bureau burglar butcher butterfly cabbage cactus cage calculator camel candidate
canoe canvas canyon carnival carpenter cartoon cashier casino casket catalogue
cathedral cattle cemetery certificate chamber chandelier chaos chapel charity charm
chauffeur chef cherry chess chorus cinema circus clarinet clinic cloakroom clown coffin
collar colleague comb comedian compass compliment composer concrete confession
conscience consultant contest convent cookie corpse corridor counsellor courtroom
courtyard cradle crate crayon creek crossroads crow cruise crumb crystal cupcake
curfew currency cutlery dagger dairy dancer darling dashboard daylight deadlock debate
decoy deed delight democracy denial deposit deputy descendant destiny detour dialect
dictionary diet dilemma diner diploma dispute ditch dock doorbell doorknob dormitory
dose dough dozen drainpipe drawbridge drizzle drought dumpling dungeon dwarf earring
earthquake echo eclipse economy elder embassy emperor empire encounter encyclopedia
episode eraser errand essay evening exhibition expedition explosion fabric fairy falcon
famine fantasy farewell feast feather ferry fiddle filing fingerprint firework
fisherman flask fleet flock flute foam footprint footstep forehead forgery fortress
fragment freezer freight frost fury gadget galaxy gambler gangster garlic gasoline
gazette generator genius gentleman geography gesture giraffe glacier glimpse globe glory
goblet goddess gossip gown graduate grammar grape graveyard greenhouse grief grocer
guardian guilt gutter gym hairdresser hammock handbag handkerchief handshake harmony
harp harvest hatch hazard headache headquarters hedge heel heir hermit highlight
hinge hive hoax holster honour hood hoof hostage hostess housekeeper hurricane hut
hymn icicle identity illusion immigrant infant inn inspector instinct intruder inventor
invoice ivory jackpot janitor jelly jockey journal journalist jug juggler kennel
kidnapper kiosk knight lace lagoon lamb landscape lantern laundry lawn leash leather
ledger legend lens leopard liar lighthouse lily limousine linen lion lipstick liquid
lizard lobster locker locket lodge loft lottery lounge lullaby lumber lyric magician
magnet maid mailbox mansion mantelpiece manuscript marathon mascot mattress mayor meadow
mechanic melody merchant mermaid microphone microscope migraine militia mill miner
miracle mischief missile mist mitten moat mobile monastery monument mortgage mosquito
motel motive mule mummy muscle mushroom musician mustard myth necklace negotiation
nightmare notebook nun nursery oak oar oath obstacle orchard orchestra ornament orphan
ostrich outlaw overcoat owl paddle padlock pamphlet pancake panther parachute paradise
parish parrot parsley patrol pavement pawn peach peanut pearl pebble pedal pedestrian
pelican penguin peninsula pepper perfume pest petal pharmacy pheasant philosopher
pickpocket picnic pier pigeon pilgrim pineapple pirate pistol pizza plague plank plaza
plumber pocketbook podium polo pony porter postcard postman pottery prairie predator
pretzel privilege professor prophet prune pudding pulse pumpkin puppy pyramid quarrel
quilt rabbi racket raft rainbow ranch ransom raven razor realm rebel receptionist recipe
referee refrigerator refugee reindeer relic reptile reservoir ribbon riddle rifle
robber robe robin rocket rooster rug ruler saddle safe saint salesman saloon sanctuary
sandal satellite sauce saucer sausage saxophone scaffold scandal scar scarecrow scarf
scholar scooter scorpion scout scrapbook sculptor sculpture seagull sergeant sermon
sheriff shepherd shield shipwreck shrine sidewalk silk sister skeleton skyline
skyscraper sled slipper slogan smuggler sneaker snowman soda soprano souvenir spaniel
spear spectator sphere spice spinach sponge spotlight sprinkler spy squad squirrel
stadium stagecoach stallion starlight steak steam steeple stepmother stethoscope
stew stewardess stocking storeroom stork storyteller strawberry stripe submarine suburb
subway suitcase sunrise sunset surgeon swamp swan sweat sword syrup tablet tadpole
tailor tambourine tangle tapestry tavern telegram telescope terrace terrier thermometer
thief thimble thorn throne thumbtack tile tinsel toddler tomb tornado tortoise tractor
trailer tramp trapeze trench tribe trombone trophy trousers trumpet tulip turkey turtle
tutor tuxedo typewriter undertaker unicorn usherette vacuum valve vase velvet vendor
verdict veteran vicar villain vine vineyard violet volcano volunteer voyage vulture
waitress walrus warden warehouse warrior washbasin watchman waterfall weasel weed
whale wheelbarrow whisker whiskey wig wilderness windmill wizard woodpecker workshop
wreath wreckage yacht yolk zebra zoo
""".split()

VERBS += """
abandon absorb accompany accumulate acknowledge acquire adapt adjust administer
advertise alter amaze analyse anticipate appeal applaud assemble assess assign assist
assume assure astonish attain authorise await bargain betray blossom blush boycott
brainstorm broadcast browse budget calculate cancel capture caution celebrate
challenge cherish chuckle circulate clarify classify collapse combine commence
communicate compile compose comprehend compromise conceal concede conclude condemn
conduct confirm confront congratulate conquer consent conserve console consult
consume contemplate contradict contribute convert convince cooperate coordinate cope
correspond counsel crave criticise cultivate dazzle debate declare decline dedicate
defeat defend define delegate demolish demonstrate deny depart deposit descend design
detain deter devise devote diagnose dictate digest diminish disguise dismiss dispatch
display distract distribute disturb dominate donate dread drift duplicate dwell
eliminate embrace emerge emphasise enable encounter endorse endure enforce engage
enhance enlarge enrol ensure entitle envy equip erase establish estimate evacuate
evaluate evaporate exaggerate exceed exchange exclaim exclude execute exhaust exhibit
expire exploit explore export expose express fascinate flatter flourish forecast
formulate frown fulfil function generate giggle glance glare grieve grumble hesitate
highlight hinder hire hoist honour host hurl illustrate imitate implement imply import
impose imprison incline indicate indulge inherit initiate inquire inspect inspire
install insult integrate interpret intervene interview intimidate invade investigate
isolate jingle kidnap lament linger locate lounge maintain manipulate manufacture
meditate mention merge migrate minimise mock modify monitor motivate mumble murmur
mutter narrate navigate neglect negotiate nominate nourish nurse obscure occupy
operate oppose organise outline overcome overlook oversee overtake overwhelm panic
paralyse participate peer penetrate perceive persuade photograph pierce plead plunge
ponder postpone predict preside presume proceed proclaim prohibit prolong prosecute
prosper protest provoke publish pursue quarrel quote rattle recall recite recommend
reconcile recover recruit refer refresh register regulate rehearse reinforce relate
relieve remark render renew renovate rent reorganise represent resemble resent reserve
reside resign resist resolve respond restore restrict retain retreat retrieve reveal
reverse revise revive reward rotate salute scan scheme scramble scrutinise sculpt
secure seize shatter shelter shimmer shudder simplify situate slam slaughter slouch
smother sob solve specialise specify speculate sponsor sprinkle squabble stagger
stammer startle starve stimulate strangle stray stumble summarise summon supervise
surrender survey survive swap symbolise sympathise tackle terminate testify thrive
tolerate torment transform translate transmit tremble triumph tutor underline undergo
undertake update uphold utter vacate validate venture verify vibrate volunteer vow
wade wander weave whimper withdraw witness worship yearn
""".split()

ADJECTIVES += """
abrupt absurd abundant acute adorable adventurous affectionate aggressive agile
ambitious amiable ample ancient anonymous apologetic arrogant artistic ashamed
attentive attractive authentic autumnal awkward barren bashful bewildered bizarre
bleak blissful bloody blunt boastful bony bouncy brainy breezy brisk brittle bumpy
burly candid carefree careless charming chilly chubby classic clueless cocky colossal
compact competent concise considerate content convenient cordial costly courageous
courteous cranky creepy crisp crooked crude crusty cuddly cunning dainty dapper daring
deadly decisive defiant delightful dependable deserted desperate devoted diligent
dismal distinct dreadful dreary drowsy dutiful dynamic earnest earthy eccentric
efficient elaborate eloquent eminent enchanting energetic envious erratic evasive
exhausted faded fearless feeble festive fickle filthy flawless flimsy fluffy foggy
forgetful fragile frail frantic frightful frosty frugal furious fussy gallant gaudy
generous ghastly giddy gifted gleaming glossy glum gracious grimy grizzled grouchy
gruesome grumpy gullible handy harmless hasty hazy heartfelt hearty hefty hilarious
hoarse homely hopeful hostile humid hurried icy idiotic immaculate impatient impish
impolite impulsive inborn indignant infamous informal inquisitive insane insistent
intrepid irate itchy jagged jaunty jittery jovial joyful joyous juicy jumpy kindly
knobbly knowing lame lanky lavish lawful leafy lethal limp lofty lopsided lousy
lumpy luxurious majestic meagre meek mellow melodic menacing merciful messy mighty
miserly misty moody mournful murky muscular mysterious naive naughty needy nifty nimble
nippy nosy notorious obedient oblivious obnoxious obscure obvious ominous outgoing
outrageous overjoyed painful peaceful peculiar perky petty pitiful placid playful
pointless portly posh precise prickly prim prompt prudent puny quaint quirky radiant
ragged rash reckless reliable reluctant remarkable resolute restless rickety roomy
rosy rotten rowdy rugged rusty ruthless sacred scarce scary scornful scrawny scruffy
seasoned secretive sedate serene shabby shaggy shiny shocking showy shrewd shrill
sickly sinister skinny sleek sleepy slender slimy slippery sloppy sluggish smug snappy
sneaky snobbish snug soggy solemn sombre soothing sparkling speedy spiky spiteful
spotless sprightly squeaky stately steamy sticky stingy stormy stout strenuous
striking stubborn sturdy suave subtle sulky sullen superb swanky sweaty tacky tangy
tasteful tasty tearful tedious tense testy thankful thirsty thorough thoughtful
thrifty thrilling timid tiresome tricky trim trusty truthful unkempt unruly upbeat
uptight valiant vicious vigilant vigorous virtuous wary wasteful watchful weary
wholesome wiry wistful wobbly woeful wretched zany zealous
""".split()

SYNONYMS += """
n: house home dwelling abode lodging
n: fight battle struggle clash brawl scuffle
n: argument quarrel dispute row squabble
n: party celebration festivity gathering
n: shop boutique store outlet
n: hat cap bonnet hood
n: coat jacket overcoat cloak
n: boat ship vessel yacht canoe
n: hill mound slope rise
n: river stream creek brook
n: storm tempest gale squall hurricane
n: wind breeze gust draught
n: cold chill frost
n: heat warmth fever
n: hurry rush haste
n: worry concern anxiety unease
n: guess estimate hunch
n: goal aim target purpose objective
n: reward prize award bonus
n: rule law regulation principle
n: leader chief head boss captain
n: worker employee labourer hand
n: thief robber burglar pickpocket crook
n: liar cheat fraud
n: doctor physician surgeon
n: home residence household
n: street road thoroughfare
n: meal dinner supper feast snack
n: drink beverage refreshment
n: town village settlement
n: city metropolis capital
n: smell scent odour aroma perfume
n: taste flavour savour
n: pain ache hurt agony
n: mess muddle clutter chaos
n: plan scheme strategy plot design
n: sign signal hint clue symbol
n: show performance display exhibition
n: script screenplay scenario
n: writer author playwright screenwriter
n: star celebrity idol
n: ending finale close
n: scene episode incident
n: rain shower drizzle downpour
v: eat consume devour swallow
v: drink sip gulp swallow
v: sleep doze nap rest slumber
v: talk speak chat converse
v: answer reply respond retort
v: shine glow gleam glitter sparkle
v: shake tremble shiver quiver shudder
v: fall drop tumble collapse plunge
v: climb mount ascend scale
v: cut slice chop carve trim
v: clean wash scrub wipe rinse
v: steal rob pinch snatch
v: win triumph succeed prevail
v: lose misplace forfeit
v: show display reveal exhibit present
v: find discover locate detect uncover
v: choose select pick elect
v: buy purchase acquire
v: gather collect assemble accumulate
v: grow develop expand increase swell
v: shrink diminish decrease contract
v: mend fix repair patch
v: annoy irritate bother pester provoke
v: please delight satisfy gratify
v: praise applaud compliment flatter commend
v: blame accuse criticise condemn
v: allow permit let authorise
v: forbid ban prohibit bar
v: plead beg implore appeal
v: explain clarify describe interpret
v: stop halt cease pause quit
v: carry bear convey transport haul
v: write scribble jot record note
v: hurry rush hasten race dash
v: hide cover conceal disguise mask
v: follow trail track chase pursue
v: join connect link attach unite
a: calm peaceful serene placid tranquil
a: cold chilly cool frosty icy
a: hot warm heated
a: wet damp moist soggy
a: dry arid parched
a: strong powerful mighty sturdy robust
a: weak feeble frail fragile
a: thin slim slender skinny lean
a: fat plump stout chubby portly
a: funny amusing comic hilarious witty
a: boring dull tedious tiresome dreary
a: lucky fortunate
a: careful cautious wary watchful prudent
a: careless reckless rash hasty
a: honest truthful sincere frank candid
a: proud arrogant vain smug haughty
a: shy timid bashful meek
a: polite courteous gracious civil
a: rude impolite insolent
a: strange bizarre weird peculiar odd
a: hungry famished starving
a: famous celebrated renowned notorious
a: quick prompt hasty brisk
a: nervous anxious tense jittery uneasy
a: cheerful merry jovial joyful upbeat
a: gloomy dismal bleak dreary sombre
a: messy untidy sloppy scruffy
a: soft gentle mild tender
a: rough coarse harsh rugged
a: sharp keen pointed
a: empty vacant bare hollow
a: full packed crowded loaded
a: tiny minute miniature small
a: huge colossal enormous immense massive vast
a: ancient antique old
a: mysterious secret hidden obscure
a: sleepy drowsy tired weary
""".strip().split("\n")

ANTONYM_PAIRS = """
calm nervous cold hot wet dry strong weak thin fat funny boring lucky unlucky
careful careless honest dishonest proud humble polite rude cheerful gloomy messy tidy
soft rough empty full tiny huge win lose buy sell find lose allow forbid praise blame
grow shrink climb fall gather scatter follow lead join separate
""".split()
