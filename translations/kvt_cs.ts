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
</context>
<context>
    <name>FirmwareUpdateDialog</name>
    <message>
        <source>Writing new firmware...</source>
        <translation>Zapisuji nový firmware...</translation>
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
</TS>
