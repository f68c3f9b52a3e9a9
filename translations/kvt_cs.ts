<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ" sourcelanguage="en_US">
<context>
    <name>SetupDialog</name>
    <message>
        <source>Setup</source>
        <translation>Nastavení</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Uložit</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Zavřít</translation>
    </message>
    <message>
        <source>1:1 (Fdisp=Fosc)</source>
        <translation>1:1 (Fdisp=Fosc)</translation>
    </message>
    <message>
        <source>Add (Fdisp=Fosc+Operator)</source>
        <translation>Přičítání (Fdisp=Fosc+Operator)</translation>
    </message>
    <message>
        <source>Sub (Fdisp=Fosc-Operator)</source>
        <translation>Odečítání (Fdisp=Fosc-Operator)</translation>
    </message>
    <message>
        <source>Mult (Fdisp=Fosc x Operator)</source>
        <translation>Násobení (Fdisp=Fosc*Operator)</translation>
    </message>
    <message>
        <source>Div (Fdisp=Fosc / Operator</source>
        <translation>Dělení (Fdisp=Fosc/Operator)</translation>
    </message>
    <message>
        <source>KVT Display present :</source>
        <translation>Údaj na displeji generátoru :</translation>
    </message>
    <message>
        <source>Coarse tuning step :</source>
        <translation>Skok při hrubém ladění :</translation>
    </message>
</context>
<context>
    <name>InfoPanel</name>
    <message>
        <source>Device name :</source>
        <translation>Typ zařízení :</translation>
    </message>
    <message>
        <source>Serial number :</source>
        <translation>Seriové číslo :</translation>
    </message>
    <message>
        <source>Date of production :</source>
        <translation>Datum výroby :</translation>
    </message>
    <message>
        <source>Firmware version :</source>
        <translation>Verze FW :</translation>
    </message>
    <message>
        <source>Serial port :</source>
        <translation>Seriový port :</translation>
    </message>
    <message>
        <source>Connection :</source>
        <translation>Připojení :</translation>
    </message>
</context>
<context>
    <name>TelegraphPanel</name>
    <message>
        <source>Speed :</source>
        <translation>Rychlost</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Opakovat</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Konec</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Pošli</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Carrier freq. :</source>
        <translation>Nosná frekvence</translation>
    </message>
    <message>
        <source>Modulation freq. :</source>
        <translation>Modulační frekv.</translation>
    </message>
    <message>
        <source>Service signal generator 0-40MHz</source>
        <translation>Servisní generátor 0-40 MHz</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Konec</translation>
    </message>
    <message>
        <source>Direct in</source>
        <translation>Frekv.</translation>
    </message>
</context>
<context>
    <name>PresetsWindow</name>
    <message>
        <source>Preset               Carrier freq.    Modulation freq.   Mode                   Top freq.              Step            Interval     </source>
        <translation>Pozice             Hlavní frekv.    Modul. frekv.      Režim                 Konečná frekv.      Krok            Interval     </translation>
    </message>
    <message>
        <source>Click to preset number for select...</source>
        <translation>Vyberte předvolbu kliknutím na její číslo</translation>
    </message>
    <message>
        <source>KVT Presets</source>
        <translation>Předvolby</translation>
    </message>
    <message>
        <source>Save to file...</source>
        <translation>Uložit do souboru...</translation>
    </message>
    <message>
        <source>Load from file...</source>
        <translation>Načíst ze souboru...</translation>
    </message>
</context>
<context>
    <name>ConnectionFailureDialog</name>
    <message>
        <source>Communication error !</source>
        <translation>Chyba komunikace !</translation>
    </message>
    <message>
        <source>Here is not any COM port with KVT unit connected. Please check right connection, or check Windows Control Panels console (hardware management)...</source>
        <translation>Zkontrolujte připojení generátoru, případně zkontrolujte nastavení počítače...</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Opakovat</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Konec</translation>
    </message>
    <message>
        <source>Recover firmware...</source>
        <translation>Obnovit firmware...</translation>
    </message>
    <message>
        <source>Ports found but not usable:</source>
        <translation>Nalezené porty, které nelze použít:</translation>
    </message>
    <message>
        <source>Port tried: COM%1.</source>
        <translation>Zkoušený port: COM%1.</translation>
    </message>
    <message>
        <source>Ports tried: COM%1 to COM%2, upward from the port saved in KVT.INI.</source>
        <translation>Zkoušené porty: COM%1 až COM%2, vzestupně od portu uloženého v KVT.INI.</translation>
    </message>
    <message>
        <source>Ports tried: COM%1 to COM%2.</source>
        <translation>Zkoušené porty: COM%1 až COM%2.</translation>
    </message>
    <message>
        <source>Ports below COM%1 were not tried.</source>
        <translation>Porty pod COM%1 nebyly zkoušeny.</translation>
    </message>
    <message>
        <source>None of the ports tried exists.</source>
        <translation>Žádný ze zkoušených portů neexistuje.</translation>
    </message>
    <message>
        <source>Retry starts again from COM%1.</source>
        <translation>Opakovat začne znovu od COM%1.</translation>
    </message>
    <message>
        <source>No serial adapter is visible to the system.</source>
        <translation>Systém nevidí žádný sériový adaptér.</translation>
    </message>
    <message>
        <source>Check the generator&apos;s USB cable. &quot;ls -l /dev/serial/by-id&quot; lists the serial adapters the system sees; &quot;sudo dmesg&quot; (or &quot;journalctl -k&quot;) shows what the kernel logged when the adapter was plugged in.</source>
        <translation>Zkontrolujte kabel USB generátoru. „ls -l /dev/serial/by-id“ vypíše sériové adaptéry, které systém vidí; „sudo dmesg“ (nebo „journalctl -k“) ukáže, co jádro zapsalo při připojení adaptéru.</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdateDialog</name>
    <message>
        <source>Writing new firmware...</source>
        <translation>Zapisuji nový firmware...</translation>
    </message>
    <message>
        <source>Firmware images (*.bin)</source>
        <translation>Obrazy firmwaru (*.bin)</translation>
    </message>
    <message>
        <source>Backups (*.bkp)</source>
        <translation>Zálohy (*.bkp)</translation>
    </message>
</context>
<context>
    <name>SweepDialogs</name>
    <message>
        <source>Set upper frequency</source>
        <translation>Nastavení horní frekvence</translation>
    </message>
    <message>
        <source>Upper frequency (Hz) : </source>
        <translation>Horní frekvence (Hz) : </translation>
    </message>
    <message>
        <source>Set step</source>
        <translation>Nastavení kroku</translation>
    </message>
    <message>
        <source>Set sweep interval Flo - Fhi (in sec.) : </source>
        <translation>Nastavení intervalu Flo - Fhi (v sekundách)</translation>
    </message>
    <message>
        <source>Time (sec) : </source>
        <translation>Interval (sec) : </translation>
    </message>
</context>
<context>
    <name>FirmwareUpdate</name>
    <message>
        <source>Recovery of the generator on COM%1: it does not answer, so its present firmware cannot be kept as a backup. Choose the image to write.</source>
        <translation>Obnova generátoru na COM%1: generátor neodpovídá, proto jeho současný firmware nelze zálohovat. Vyberte obraz k zápisu.</translation>
    </message>
    <message>
        <source>avrdude, which writes the firmware, was not found beside this program or on the PATH. Place avrdude.exe beside this program and try again.</source>
        <translation>Program avrdude, který zapisuje firmware, nebyl nalezen vedle tohoto programu ani v cestě PATH. Umístěte avrdude.exe vedle tohoto programu a zkuste to znovu.</translation>
    </message>
    <message>
        <source>avrdude, which writes the firmware, was not found beside this program or on the PATH. Install it (sudo apt install avrdude) and try again.</source>
        <translation>Program avrdude, který zapisuje firmware, nebyl nalezen vedle tohoto programu ani v cestě PATH. Nainstalujte jej (sudo apt install avrdude) a zkuste to znovu.</translation>
    </message>
    <message>
        <source>avrdude (%1) does not start or does not end. Install it again (sudo apt install avrdude) and try again.</source>
        <translation>Program avrdude (%1) se nespustí nebo neskončí. Nainstalujte jej znovu (sudo apt install avrdude) a zkuste to znovu.</translation>
    </message>
    <message>
        <source>The file %1 is too large to be firmware of this generator. Choose another file.</source>
        <translation>Soubor %1 je příliš velký na firmware tohoto generátoru. Vyberte jiný soubor.</translation>
    </message>
    <message>
        <source>The file %1 cannot be read: %2.</source>
        <translation>Soubor %1 nelze přečíst: %2.</translation>
    </message>
    <message>
        <source>line %1 is not an Intel HEX record</source>
        <translation>řádek %1 není záznam Intel HEX</translation>
    </message>
    <message>
        <source>line %1 has a wrong checksum</source>
        <translation>řádek %1 má chybný kontrolní součet</translation>
    </message>
    <message>
        <source>line %1 is a record of an unknown type</source>
        <translation>řádek %1 je záznam neznámého typu</translation>
    </message>
    <message>
        <source>line %1 holds data at 0x%2, in the bootloader&apos;s section (from 0x7800)</source>
        <translation>řádek %1 obsahuje data na adrese 0x%2, v oblasti zavaděče (od 0x7800)</translation>
    </message>
    <message>
        <source>its end record is missing (the file may be cut short)</source>
        <translation>chybí koncový záznam (soubor je možná neúplný)</translation>
    </message>
    <message>
        <source>it holds no data below 0x7800</source>
        <translation>neobsahuje žádná data pod adresou 0x7800</translation>
    </message>
    <message>
        <source>The file %1 cannot be written: %2. Choose another file.</source>
        <translation>Soubor %1 nelze zapsat: %2. Vyberte jiný soubor.</translation>
    </message>
    <message>
        <source>The folder for the firmware backups, %1, is not writable. Make it writable, then try again.</source>
        <translation>Do složky pro zálohy firmwaru, %1, nelze zapisovat. Povolte do ní zápis a zkuste to znovu.</translation>
    </message>
    <message>
        <source>The file %1 is firmware version %2 for the KVT %3. Write it to the generator on COM%4 ?</source>
        <translation>Soubor %1 je firmware verze %2 pro KVT %3. Zapsat jej do generátoru na COM%4 ?</translation>
    </message>
    <message>
        <source>COM%1 cannot be opened: %2.</source>
        <translation>COM%1 nelze otevřít: %2.</translation>
    </message>
    <message>
        <source>write the backup %1 back from this window</source>
        <translation>zapište zpět zálohu %1 z tohoto okna</translation>
    </message>
    <message>
        <source>write %1 again</source>
        <translation>zapište znovu %1</translation>
    </message>
    <message>
        <source>The write did not end within %1 s and was stopped. The generator may need its firmware written again: %2.</source>
        <translation>Zápis neskončil do %1 s a byl ukončen. Generátor možná potřebuje firmware zapsat znovu: %2.</translation>
    </message>
    <message>
        <source>the port is gone; is the generator still plugged in?</source>
        <translation>port zmizel; je generátor stále připojen?</translation>
    </message>
    <message>
        <source>another program holds it</source>
        <translation>používá jej jiný program</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>přístup odepřen</translation>
    </message>
    <message>
        <source>its line settings cannot be applied</source>
        <translation>nelze nastavit parametry linky</translation>
    </message>
    <message>
        <source>error %1</source>
        <translation>chyba %1</translation>
    </message>
    <message>
        <source>COM%1 could not be opened again (%2): the panel is not connected to the generator. Check the cable; the program connects again as soon as the generator answers on this port.</source>
        <translation>COM%1 nebylo možné znovu otevřít (%2): panel není spojen s generátorem. Zkontrolujte kabel; program se znovu připojí, jakmile generátor na tomto portu odpoví.</translation>
    </message>
    <message>
        <source>Waiting for the generator to start...</source>
        <translation>Čekám na spuštění generátoru...</translation>
    </message>
    <message>
        <source>The generator announces itself as &quot;%1&quot; with firmware version &quot;%2&quot;, which cannot name the backup of its firmware. Nothing was changed.</source>
        <translation>Generátor se hlásí jako „%1“ s verzí firmwaru „%2“, podle které nelze pojmenovat zálohu jeho firmwaru. Nic nebylo změněno.</translation>
    </message>
    <message>
        <source>Recovery of the generator on COM%1: it does not answer after the write. Choose the image (or a backup) to write again; no backup is made.</source>
        <translation>Obnova generátoru na COM%1: po zápisu neodpovídá. Vyberte obraz (nebo zálohu) k novému zápisu; záloha se nevytváří.</translation>
    </message>
    <message>
        <source>avrdude could not be started</source>
        <translation>program avrdude nelze spustit</translation>
    </message>
    <message>
        <source>avrdude did not end within %1 s and was stopped</source>
        <translation>program avrdude neskončil do %1 s a byl ukončen</translation>
    </message>
    <message>
        <source>avrdude ended abnormally</source>
        <translation>program avrdude skončil neočekávaně</translation>
    </message>
    <message>
        <source>avrdude ended with exit status %1</source>
        <translation>program avrdude skončil s návratovým kódem %1</translation>
    </message>
    <message>
        <source>avrdude ended without writing it</source>
        <translation>program avrdude skončil, aniž by ji zapsal</translation>
    </message>
    <message>
        <source>it could not be stored as %1</source>
        <translation>nelze ji uložit jako %1</translation>
    </message>
    <message>
        <source>No backup of the firmware on the generator could be made (%1), so nothing was written: the firmware on the generator is unchanged.</source>
        <translation>Zálohu firmwaru generátoru nebylo možné vytvořit (%1), proto nebylo nic zapsáno: firmware v generátoru je beze změny.</translation>
    </message>
    <message>
        <source>The write failed: %1.</source>
        <translation>Zápis selhal: %1.</translation>
    </message>
    <message>
        <source>%1 for the write: nothing was written, the firmware on the generator is unchanged.</source>
        <translation>%1 pro zápis: nic nebylo zapsáno, firmware v generátoru je beze změny.</translation>
    </message>
    <message>
        <source>COM%1 could not be opened again (%2): whether the generator runs the new firmware is not known, and the panel is not connected to it. Check the cable; the program connects again as soon as the generator answers on this port.</source>
        <translation>COM%1 nebylo možné znovu otevřít (%2): není známo, zda generátor běží s novým firmwarem, a panel s ním není spojen. Zkontrolujte kabel; program se znovu připojí, jakmile generátor na tomto portu odpoví.</translation>
    </message>
    <message>
        <source>The generator does not answer after the write (nothing within %1 s of opening COM%2 again): it may not run any firmware. This window now recovers it: %3.</source>
        <translation>Generátor po zápisu neodpovídá (nic do %1 s od nového otevření COM%2): možná neběží žádný firmware. Toto okno jej nyní obnoví: %3.</translation>
    </message>
    <message>
        <source>The generator now runs firmware version %1, not the version %2 of %3.</source>
        <translation>Generátor nyní běží s firmwarem verze %1, ne s verzí %2 ze souboru %3.</translation>
    </message>
</context>
<context>
    <name>StartupWindows</name>
    <message>
        <source>Recover firmware</source>
        <translation>Obnovit firmware</translation>
    </message>
    <message>
        <source>Port of the generator to recover:</source>
        <translation>Port generátoru, jehož firmware se má obnovit:</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>přístup odepřen</translation>
    </message>
    <message>
        <source>Or add your user to the group &quot;dialout&quot; (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>Nebo přidejte svého uživatele do skupiny „dialout“ (sudo usermod -aG dialout $USER) a znovu se přihlaste.</translation>
    </message>
    <message>
        <source>permission denied: the udev rule installed with the package gives the user at the screen access to USB serial adapters; log out and in again, or unplug and replug the adapter.</source>
        <translation>přístup odepřen: pravidlo udev nainstalované s balíčkem dává uživateli přihlášenému u obrazovky přístup k sériovým adaptérům USB; odhlaste se a znovu přihlaste, nebo adaptér odpojte a znovu připojte.</translation>
    </message>
    <message>
        <source>permission denied: run the installer beside the program once (sudo ./install), then unplug and replug the adapter.</source>
        <translation>přístup odepřen: jednou spusťte instalátor vedle programu (sudo ./install), pak adaptér odpojte a znovu připojte.</translation>
    </message>
</context>
<context>
    <name>SetupExchange</name>
    <message>
        <source>The setup was not sent: the line to the generator was lost. The generator keeps its display operator and coarse tuning step. Open Config again once the generator is back.</source>
        <translation>Nastavení nebylo odesláno: spojení s generátorem se přerušilo. Generátor si ponechává svůj údaj na displeji i skok při hrubém ladění. Až bude generátor opět připojen, otevřete znovu Config.</translation>
    </message>
    <message>
        <source>The setup was not sent completely: the line to the generator was lost after the display operator was sent (%1), before the coarse tuning step of %2 Hz (%3). Open Config again once the generator is back.</source>
        <translation>Nastavení nebylo odesláno celé: spojení s generátorem se přerušilo po odeslání údaje na displeji (%1), před skokem při hrubém ladění %2 Hz (%3). Až bude generátor opět připojen, otevřete znovu Config.</translation>
    </message>
</context>
<context>
    <name>PresetFiles</name>
    <message>
        <source>Save the presets to a file</source>
        <translation>Uložit předvolby do souboru</translation>
    </message>
    <message>
        <source>Preset sets (*.csv)</source>
        <translation>Sady předvoleb (*.csv)</translation>
    </message>
    <message>
        <source>The presets could not all be read from the generator, so %1 was not written.</source>
        <translation>Předvolby se nepodařilo z generátoru přečíst všechny, proto soubor %1 nebyl zapsán.</translation>
    </message>
    <message>
        <source>The presets could not be saved to %1 (%2). A file of that name is left as it was.</source>
        <translation>Předvolby nelze uložit do souboru %1 (%2). Soubor tohoto jména zůstal beze změny.</translation>
    </message>
    <message>
        <source>The twelve presets were saved to %1.</source>
        <translation>Všech dvanáct předvoleb je uloženo v souboru %1.</translation>
    </message>
    <message>
        <source>Load the presets from a file</source>
        <translation>Načíst předvolby ze souboru</translation>
    </message>
    <message>
        <source>%1 could not be read (%2).</source>
        <translation>Soubor %1 nelze přečíst (%2).</translation>
    </message>
    <message>
        <source>%1 is not a preset set: it is larger than %2 bytes. Nothing was sent to the generator.</source>
        <translation>Soubor %1 není sada předvoleb: je větší než %2 bajtů. Do generátoru nebylo nic odesláno.</translation>
    </message>
    <message>
        <source>No generator is connected. Nothing was sent.</source>
        <translation>Generátor není připojen. Nic nebylo odesláno.</translation>
    </message>
    <message>
        <source>The generator holds the set of %1 already: nothing differs, so nothing was sent.</source>
        <translation>Generátor už má sadu ze souboru %1: nic se neliší, proto nebylo nic odesláno.</translation>
    </message>
    <message>
        <source>Preset %1: %2</source>
        <translation>Předvolba %1: %2</translation>
    </message>
    <message>
        <source>Preset %1: %2 (now %3)</source>
        <translation>Předvolba %1: %2 (nyní %3)</translation>
    </message>
    <message>
        <source>Unchanged: %1. Not in use, left as they are: %2.</source>
        <translation>Beze změny: %1. Nepoužité, ponechané tak, jak jsou: %2.</translation>
    </message>
    <message>
        <source>none</source>
        <translation>žádné</translation>
    </message>
    <message>
        <source>Write these presets from %1 into the generator?

%2

The set it holds now is kept first in %3.</source>
        <translation>Zapsat tyto předvolby ze souboru %1 do generátoru?

%2

Sada, kterou generátor má nyní, se nejprve uloží do složky %3.</translation>
    </message>
    <message>
        <source>The set the generator holds now could not be kept in %1 (%2), so nothing was sent.</source>
        <translation>Sadu, kterou generátor má nyní, nelze uložit do složky %1 (%2), proto nebylo nic odesláno.</translation>
    </message>
    <message>
        <source>Loading presets</source>
        <translation>Zápis předvoleb</translation>
    </message>
    <message>
        <source>Writing %1 presets...</source>
        <translation>Zapisuji předvolby (%1)...</translation>
    </message>
    <message>
        <source>Preset %1 written and read back (%2 of %3).</source>
        <translation>Předvolba %1 zapsána a zpětně přečtena (%2 z %3).</translation>
    </message>
    <message>
        <source>Reading the presets back...</source>
        <translation>Čtu předvolby zpět...</translation>
    </message>
    <message>
        <source>The set the generator held before is kept in %1.</source>
        <translation>Sada, kterou generátor měl předtím, je uložena v souboru %1.</translation>
    </message>
    <message>
        <source>%1 was not loaded; nothing was sent to the generator.

%2</source>
        <translation>Soubor %1 nebyl načten; do generátoru nebylo nic odesláno.

%2</translation>
    </message>
    <message>
        <source>The presets cannot be loaded now: the generator is busy with a sweep, Morse keying, the radiotelegraph frame or a remote command. End it, then load again. Nothing was sent.</source>
        <translation>Předvolby teď nelze načíst: generátor je zaměstnán rozmítáním, vysíláním Morse, radiotelegrafem nebo vzdáleným příkazem. Ukončete to a načtěte znovu. Nic nebylo odesláno.</translation>
    </message>
    <message>
        <source>not in use</source>
        <translation>nepoužitá</translation>
    </message>
    <message>
        <source>, tone %1 Hz</source>
        <translation>, tón %1 Hz</translation>
    </message>
    <message>
        <source>sweep %1 to %2 Hz%3, step %4 Hz, %5 s</source>
        <translation>rozmítání %1 až %2 Hz%3, krok %4 Hz, %5 s</translation>
    </message>
    <message>
        <source>%1 Hz%2, mode %3</source>
        <translation>%1 Hz%2, režim %3</translation>
    </message>
    <message>
        <source>%1 presets written and checked (%2 unchanged, %3 not in use)</source>
        <translation>Zapsáno a ověřeno předvoleb: %1 (beze změny %2, nepoužito %3)</translation>
    </message>
    <message>
        <source>The load was cancelled. Written and checked before that: %1. The generator&apos;s settings were put back.</source>
        <translation>Zápis byl zrušen. Předtím zapsáno a ověřeno: %1. Nastavení generátoru bylo vráceno.</translation>
    </message>
    <message>
        <source>The line to the generator was lost during the load. Written and checked before that: %1.</source>
        <translation>Spojení s generátorem se během zápisu přerušilo. Předtím zapsáno a ověřeno: %1.</translation>
    </message>
    <message>
        <source>Did not read back as written: %1.</source>
        <translation>Zpětně se nepřečetly tak, jak byly zapsány: %1.</translation>
    </message>
    <message>
        <source>Sweep presets %1 cannot be written from the PC on this generator: they read back as plain presets.</source>
        <translation>Předvolby s rozmítáním %1 nelze do tohoto generátoru z PC zapsat: zpětně se přečetly jako obyčejné předvolby.</translation>
    </message>
    <message>
        <source>Not written, or written without being read back: %1.</source>
        <translation>Nezapsané, nebo zapsané bez zpětného přečtení: %1.</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>složku %1 nelze vytvořit</translation>
    </message>
</context>
<context>
    <name>PresetSetFile</name>
    <message>
        <source>Line %1, column %2: %3</source>
        <translation>Řádek %1, sloupec %2: %3</translation>
    </message>
    <message>
        <source>Line %1: %2</source>
        <translation>Řádek %1: %2</translation>
    </message>
    <message>
        <source>a quote is not closed</source>
        <translation>uvozovky nejsou uzavřeny</translation>
    </message>
    <message>
        <source>text follows a closing quote</source>
        <translation>za uzavírací uvozovkou následuje text</translation>
    </message>
    <message>
        <source>the row has %1 cells, not %2</source>
        <translation>řádek má %1 buněk, ne %2</translation>
    </message>
    <message>
        <source>the cell is missing</source>
        <translation>buňka chybí</translation>
    </message>
    <message>
        <source>the cell is empty</source>
        <translation>buňka je prázdná</translation>
    </message>
    <message>
        <source>%1 is not a whole number</source>
        <translation>%1 není celé číslo</translation>
    </message>
    <message>
        <source>the mode is not 0-3 or above 14</source>
        <translation>režim není 0-3 ani nad 14</translation>
    </message>
    <message>
        <source>%1 is not a preset number 1-12</source>
        <translation>%1 není číslo předvolby 1-12</translation>
    </message>
    <message>
        <source>The file is larger than %1 KiB: it is not a preset set</source>
        <translation>Soubor je větší než %1 KiB: není to sada předvoleb</translation>
    </message>
    <message>
        <source>the header line &quot;%1&quot; is missing</source>
        <translation>chybí řádek záhlaví „%1“</translation>
    </message>
    <message>
        <source>preset %1 is given twice (first on line %2)</source>
        <translation>předvolba %1 je uvedena dvakrát (poprvé na řádku %2)</translation>
    </message>
    <message>
        <source>the file holds no presets</source>
        <translation>soubor neobsahuje žádné předvolby</translation>
    </message>
    <message>
        <source>the carrier %1 Hz is outside 1-%2 Hz</source>
        <translation>nosná frekvence %1 Hz je mimo rozsah 1-%2 Hz</translation>
    </message>
    <message>
        <source>the tone %1 Hz is outside 1-%2 Hz (0: no tone)</source>
        <translation>tón %1 Hz je mimo rozsah 1-%2 Hz (0: bez tónu)</translation>
    </message>
    <message>
        <source>mode %1 is neither a plain preset (0-3) nor a sweep preset (above 14)</source>
        <translation>režim %1 není ani obyčejná předvolba (0-3), ani předvolba s rozmítáním (nad 14)</translation>
    </message>
    <message>
        <source>the sweep&apos;s top %1 Hz is not above the carrier and at most %2 Hz</source>
        <translation>konečná frekvence rozmítání %1 Hz není nad nosnou frekvencí a nejvýše %2 Hz</translation>
    </message>
    <message>
        <source>the sweep&apos;s step must be above 0</source>
        <translation>krok rozmítání musí být nad 0</translation>
    </message>
    <message>
        <source>the sweep&apos;s interval must be above 0</source>
        <translation>interval rozmítání musí být nad 0</translation>
    </message>
    <message>
        <source>The generator&apos;s carrier range is not known.</source>
        <translation>Rozsah nosné frekvence generátoru není znám.</translation>
    </message>
    <message>
        <source>preset %1 is not 1-12 or is given twice</source>
        <translation>předvolba %1 není 1-12 nebo je uvedena dvakrát</translation>
    </message>
    <message>
        <source>No generator is connected.</source>
        <translation>Generátor není připojen.</translation>
    </message>
    <message>
        <source>The generator&apos;s presets could not all be read.</source>
        <translation>Předvolby generátoru se nepodařilo přečíst všechny.</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>Cancel</source>
        <translation>Zrušit</translation>
    </message>
</context>
</TS>
