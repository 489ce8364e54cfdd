#!/usr/bin/env python3
"""Writes weather/grib_tables_data.cpp: the 39 built-in GRIB-1 parameter tables.

ECMWF and CPTEC tables come from ecCodes' definition files (Debian's libeccodes-data);
the DWD tables from ecCodes' DWD local concepts; the NCEP tables are written out below.
Entries without a parameter read "var<N>" / "undefined".

Usage: scripts/make-grib-tables.py [DEFINITIONS_DIR] > weather/grib_tables_data.cpp
"""
import os
import re
import sys

DEFS = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/eccodes/definitions"
GRIB1 = os.path.join(DEFS, "grib1")

# NCEP operational table 2 (WMO part 1-127 and NCEP's local part 128-254).
NCEP_OPN = """
1 PRES Pressure [Pa]
2 PRMSL Pressure reduced to MSL [Pa]
3 PTEND Pressure tendency [Pa/s]
4 PVORT Pot. vorticity [km^2/kg/s]
5 ICAHT ICAO Standard Atmosphere Reference Height [M]
6 GP Geopotential [m^2/s^2]
7 HGT Geopotential height [gpm]
8 DIST Geometric height [m]
9 HSTDV Std dev of height [m]
10 TOZNE Total ozone [Dobson]
11 TMP Temp. [K]
12 VTMP Virtual temp. [K]
13 POT Potential temp. [K]
14 EPOT Pseudo-adiabatic pot. temp. [K]
15 TMAX Max. temp. [K]
16 TMIN Min. temp. [K]
17 DPT Dew point temp. [K]
18 DEPR Dew point depression [K]
19 LAPR Lapse rate [K/m]
20 VIS Visibility [m]
21 RDSP1 Radar spectra (1) [non-dim]
22 RDSP2 Radar spectra (2) [non-dim]
23 RDSP3 Radar spectra (3) [non-dim]
24 PLI Parcel lifted index (to 500 hPa) [K]
25 TMPA Temp. anomaly [K]
26 PRESA Pressure anomaly [Pa]
27 GPA Geopotential height anomaly [gpm]
28 WVSP1 Wave spectra (1) [non-dim]
29 WVSP2 Wave spectra (2) [non-dim]
30 WVSP3 Wave spectra (3) [non-dim]
31 WDIR Wind direction [deg]
32 WIND Wind speed [m/s]
33 UGRD u wind [m/s]
34 VGRD v wind [m/s]
35 STRM Stream function [m^2/s]
36 VPOT Velocity potential [m^2/s]
37 MNTSF Montgomery stream function [m^2/s^2]
38 SGCVV Sigma coord. vertical velocity [/s]
39 VVEL Pressure vertical velocity [Pa/s]
40 DZDT Geometric vertical velocity [m/s]
41 ABSV Absolute vorticity [/s]
42 ABSD Absolute divergence [/s]
43 RELV Relative vorticity [/s]
44 RELD Relative divergence [/s]
45 VUCSH Vertical u shear [/s]
46 VVCSH Vertical v shear [/s]
47 DIRC Direction of current [deg]
48 SPC Speed of current [m/s]
49 UOGRD u of current [m/s]
50 VOGRD v of current [m/s]
51 SPFH Specific humidity [kg/kg]
52 RH Relative humidity [%]
53 MIXR Humidity mixing ratio [kg/kg]
54 PWAT Precipitable water [kg/m^2]
55 VAPP Vapor pressure [Pa]
56 SATD Saturation deficit [Pa]
57 EVP Evaporation [kg/m^2]
58 CICE Cloud Ice [kg/m^2]
59 PRATE Precipitation rate [kg/m^2/s]
60 TSTM Thunderstorm probability [%]
61 APCP Total precipitation [kg/m^2]
62 NCPCP Large scale precipitation [kg/m^2]
63 ACPCP Convective precipitation [kg/m^2]
64 SRWEQ Snowfall rate water equiv. [kg/m^2/s]
65 WEASD Accum. snow [kg/m^2]
66 SNOD Snow depth [m]
67 MIXHT Mixed layer depth [m]
68 TTHDP Transient thermocline depth [m]
69 MTHD Main thermocline depth [m]
70 MTHA Main thermocline anomaly [m]
71 TCDC Total cloud cover [%]
72 CDCON Convective cloud cover [%]
73 LCDC Low level cloud cover [%]
74 MCDC Mid level cloud cover [%]
75 HCDC High level cloud cover [%]
76 CWAT Cloud water [kg/m^2]
77 BLI Best lifted index (to 500 hPa) [K]
78 SNOC Convective snow [kg/m^2]
79 SNOL Large scale snow [kg/m^2]
80 WTMP Water temp. [K]
81 LAND Land cover (land=1;sea=0) [fraction]
82 DSLM Deviation of sea level from mean [m]
83 SFCR Surface roughness [m]
84 ALBDO Albedo [%]
85 TSOIL Soil temp. [K]
86 SOILM Soil moisture content [kg/m^2]
87 VEG Vegetation [%]
88 SALTY Salinity [kg/kg]
89 DEN Density [kg/m^3]
90 WATR Water runoff [kg/m^2]
91 ICEC Ice concentration (ice=1;no ice=0) [fraction]
92 ICETK Ice thickness [m]
93 DICED Direction of ice drift [deg]
94 SICED Speed of ice drift [m/s]
95 UICE u of ice drift [m/s]
96 VICE v of ice drift [m/s]
97 ICEG Ice growth rate [m/s]
98 ICED Ice divergence [/s]
99 SNOM Snow melt [kg/m^2]
100 HTSGW Sig height of wind waves and swell [m]
101 WVDIR Direction of wind waves [deg]
102 WVHGT Sig height of wind waves [m]
103 WVPER Mean period of wind waves [s]
104 SWDIR Direction of swell waves [deg]
105 SWELL Sig height of swell waves [m]
106 SWPER Mean period of swell waves [s]
107 DIRPW Primary wave direction [deg]
108 PERPW Primary wave mean period [s]
109 DIRSW Secondary wave direction [deg]
110 PERSW Secondary wave mean period [s]
111 NSWRS Net short wave (surface) [W/m^2]
112 NLWRS Net long wave (surface) [W/m^2]
113 NSWRT Net short wave (top) [W/m^2]
114 NLWRT Net long wave (top) [W/m^2]
115 LWAVR Long wave [W/m^2]
116 SWAVR Short wave [W/m^2]
117 GRAD Global radiation [W/m^2]
118 BRTMP Brightness temperature [K]
119 LWRAD Long wave radiance [W/srm^2]
120 SWRAD Short wave radiance [W/srm^2]
121 LHTFL Latent heat flux [W/m^2]
122 SHTFL Sensible heat flux [W/m^2]
123 BLYDP Boundary layer dissipation [W/m^2]
124 UFLX Zonal momentum flux [N/m^2]
125 VFLX Meridional momentum flux [N/m^2]
126 WMIXE Wind mixing energy [J]
127 IMGD Image data []
128 MSLSA Mean sea level pressure (Std Atm) [Pa]
129 MSLMA Mean sea level pressure (MAPS) [Pa]
130 MSLET Mean sea level pressure (NAM model) [Pa]
131 LFTX Surface lifted index [K]
132 4LFTX Best (4-layer) lifted index [K]
133 KX K index [K]
134 PRESN Pressure (nearest grid point) [Pa]
135 MCONV Horizontal moisture divergence [kg/kg/s]
136 VWSH Vertical speed shear [1/s]
137 TSLSA 3-hr pressure tendency (Std Atmos Red) [Pa/s]
138 BVF2 Brunt-Vaisala frequency^2 [1/s^2]
139 PVMW Potential vorticity (mass-weighted) [1/s/m]
140 CRAIN Categorical rain [yes=1;no=0]
141 CFRZR Categorical freezing rain [yes=1;no=0]
142 CICEP Categorical ice pellets [yes=1;no=0]
143 CSNOW Categorical snow [yes=1;no=0]
144 SOILW Volumetric soil moisture [fraction]
145 PEVPR Potential evaporation rate [W/m^2]
146 CWORK Cloud work function [J/kg]
147 U-GWD Zonal gravity wave stress [N/m^2]
148 V-GWD Meridional gravity wave stress [N/m^2]
149 PVORT Potential vorticity [m^2/s/kg]
150 COVMZ Covariance between u and v [m^2/s^2]
151 COVTZ Covariance between u and T [K*m/s]
152 COVTM Covariance between v and T [K*m/s]
153 CLWMR Cloud water [kg/kg]
154 O3MR Ozone mixing ratio [kg/kg]
155 GFLUX Ground heat flux [W/m^2]
156 CIN Convective inhibition [J/kg]
157 CAPE Convective Avail. Pot. Energy [J/kg]
158 TKE Turbulent kinetic energy [J/kg]
159 CONDP Lifted parcel condensation pressure [Pa]
160 CSUSF Clear sky upward solar flux [W/m^2]
161 CSDSF Clear sky downward solar flux [W/m^2]
162 CSULF Clear sky upward long wave flux [W/m^2]
163 CSDLF Clear sky downward long wave flux [W/m^2]
164 CFNSF Cloud forcing net solar flux [W/m^2]
165 CFNLF Cloud forcing net long wave flux [W/m^2]
166 VBDSF Visible beam downward solar flux [W/m^2]
167 VDDSF Visible diffuse downward solar flux [W/m^2]
168 NBDSF Near IR beam downward solar flux [W/m^2]
169 NDDSF Near IR diffuse downward solar flux [W/m^2]
170 RWMR Rain water mixing ratio [kg/kg]
171 SNMR Snow mixing ratio [kg/kg]
172 MFLX Momentum flux [N/m^2]
173 LMH Mass point model surface [non-dim]
174 LMV Velocity point model surface [non-dim]
175 MLYNO Model layer number (from bottom up) [non-dim]
176 NLAT Latitude (-90 to +90) [deg]
177 ELON East longitude (0-360) [deg]
178 ICMR Ice mixing ratio [kg/kg]
179 GRMR Graupel mixing ratio [kg/kg]
180 GUST Surface wind gust [m/s]
181 LPSX x-gradient of log pressure [1/m]
182 LPSY y-gradient of log pressure [1/m]
183 HGTX x-gradient of height [m/m]
184 HGTY y-gradient of height [m/m]
185 TPFI Turbulence potential forecast index [non-dim]
186 TIPD Total icing potential diagnostic [non-dim]
187 LTNG Lightning [non-dim]
188 RDRIP Rate of water dropping from canopy to ground [kg/m^2]
189 VPTMP Virtual potential temp. [K]
190 HLCY Storm relative helicity [m^2/s^2]
191 PROB Prob. from ensemble [non-dim]
192 PROBN Prob. from ensemble norm. to clim. expect. [non-dim]
193 POP Prob. of precipitation [%]
194 CPOFP Prob. of frozen precipitation [%]
195 CPOZP Prob. of freezing precipitation [%]
196 USTM u-component of storm motion [m/s]
197 VSTM v-component of storm motion [m/s]
198 NCIP Number concentration for ice particles [non-dim]
199 EVBS Direct evaporation from bare soil [W/m^2]
200 EVCW Canopy water evaporation [W/m^2]
201 ICWAT Ice-free water surface [%]
202 CWDI Convective weather detection index [non-dim]
203 VAFTD VAFTAD [log10(kg/m^3)]
204 DSWRF Downward short wave flux [W/m^2]
205 DLWRF Downward long wave flux [W/m^2]
206 UVI Ultra violet index (1 hour centered at solar noon) [J/m^2]
207 MSTAV Moisture availability [%]
208 SFEXC Exchange coefficient [(kg/m^3)(m/s)]
209 MIXLY No. of mixed layers next to surface [integer]
210 TRANS Transpiration [W/m^2]
211 USWRF Upward short wave flux [W/m^2]
212 ULWRF Upward long wave flux [W/m^2]
213 CDLYR Non-convective cloud [%]
214 CPRAT Convective precip. rate [kg/m^2/s]
215 TTDIA Temp. tendency by all physics [K/s]
216 TTRAD Temp. tendency by all radiation [K/s]
217 TTPHY Temp. tendency by non-radiation physics [K/s]
218 PREIX Precip index (0.0-1.00) [fraction]
219 TSD1D Std. dev. of IR T over 1x1 deg area [K]
220 NLGSP Natural log of surface pressure [ln(kPa)]
221 HPBL Planetary boundary layer height [m]
222 5WAVH 5-wave geopotential height [gpm]
223 CNWAT Plant canopy surface water [kg/m^2]
224 SOTYP Soil type (as in Zobler) [0..9]
225 VGTYP Vegetation type (as in SiB) [0..13]
226 BMIXL Blackadar's mixing length scale [m]
227 AMIXL Asymptotic mixing length scale [m]
228 PEVAP Potential evaporation [kg/m^2]
229 SNOHF Snow phase-change heat flux [W/m^2]
230 5WAVA 5-wave geopotential height anomaly [gpm]
231 MFLUX Convective cloud mass flux [Pa/s]
232 DTRF Downward total radiation flux [W/m^2]
233 UTRF Upward total radiation flux [W/m^2]
234 BGRUN Baseflow-groundwater runoff [kg/m^2]
235 SSRUN Storm surface runoff [kg/m^2]
236 SIPD Supercooled large droplet icing potential [non-dim]
237 O3TOT Total ozone [kg/m^2]
238 SNOWC Snow cover [%]
239 SNOT Snow temp. [K]
240 COVTW Covariance between T and w [K*m/s]
241 LRGHR Large scale condensation heating [K/s]
242 CNVHR Deep convective heating [K/s]
243 CNVMR Deep convective moistening [kg/kg/s]
244 SHAHR Shallow convective heating [K/s]
245 SHAMR Shallow convective moistening [kg/kg/s]
246 VDFHR Vertical diffusion heating [K/s]
247 VDFUA Vertical diffusion zonal accel [m/s^2]
248 VDFVA Vertical diffusion meridional accel [m/s^2]
249 VDFMR Vertical diffusion moistening [kg/kg/s]
250 SWHR Solar radiative heating [K/s]
251 LWHR Longwave radiative heating [K/s]
252 CD Drag coefficient [non-dim]
253 FRICV Friction velocity [m/s]
254 RI Richardson number [non-dim]
"""

# NCEP's local part as it stood for the reanalysis and the subcentre-14 (Eta) tables: the
# parameters those products carry; the rest of 128-254 is left undefined there.
NCEP_EARLY_LOCAL = set(range(128, 180)) | {204, 205, 211, 212, 214, 221, 223, 224, 225, 228,
                                          229, 234, 235, 238, 239, 253}


def parse_lines(text):
    out = {}
    for line in text.strip().splitlines():
        num, name, desc = line.split(" ", 2)
        out[int(num)] = (name, desc)
    return out


def ecmwf_table(version):
    path = os.path.join(GRIB1, "2.98.%d.table" % version)
    out = {}
    for line in open(path, encoding="utf-8", errors="replace"):
        if line.startswith("#") or not line.strip():
            continue
        parts = line.rstrip("\n").split(" ", 2)
        num = int(parts[0])
        name = parts[1]
        desc = parts[2] if len(parts) > 2 else ""
        m = re.match(r"^(.*?)\s*\((.*)\)\s*$", desc)
        if m:
            desc = "%s [%s]" % (m.group(1), m.group(2))
        if name in ("~", "None", ""):
            name = "var%d" % num
        out[num] = (name.upper(), desc)
    # Tables 129 (gradients) and 200 name their 10 metre wind entries like table 128.
    if version in (129, 200):
        out[165] = ("10U", "10 metre U wind component [m s**-1]")
        out[166] = ("10V", "10 metre V wind component [m s**-1]")
    return out


def cptec_table():
    out = {}
    path = os.path.join(GRIB1, "2.46.254.table")
    for line in open(path, encoding="utf-8", errors="replace"):
        if line.startswith("#") or not line.strip():
            continue
        m = re.match(r"^(\d+)\s+\d+\s+(\S+)\s+(.*)$", line.rstrip("\n"))
        if not m:
            continue
        num = int(m.group(1))
        if m.group(2) == "var%d" % num:
            continue
        # The table abbreviates "specific" once; it is written out like everywhere else.
        out[num] = (m.group(2), m.group(3).replace("SPEC HUMIDITY", "SPECIFIC HUMIDITY"))
    return out


def dwd_tables():
    """Parses DWD's local concepts: per table version, parameter -> (abbreviation, description)."""
    base = os.path.join(GRIB1, "localConcepts", "edzw")
    block = re.compile(r"#([^\n]*)\n'([^']*)'\s*=\s*\{([^}]*)\}")

    def read(fname):
        return block.findall(open(os.path.join(base, fname), encoding="utf-8").read())

    names = read("shortName.def")
    units = read("units.def")
    tables = {}
    for i, (comment, short, body) in enumerate(names):
        keys = dict(re.findall(r"(\w+)\s*=\s*(\d+)\s*;", body))
        if "table2Version" not in keys or "indicatorOfParameter" not in keys:
            continue
        version = int(keys["table2Version"])
        num = int(keys["indicatorOfParameter"])
        unit = units[i][1] if i < len(units) and units[i][2] == body else ""
        generic = len(keys) == 2
        table = tables.setdefault(version, {})
        entry = (short, "%s [%s]" % (comment.strip(), unit), generic)
        # The entry without level or time conditions names the parameter; else the first one.
        if num not in table or (generic and not table[num][2]):
            table[num] = entry
    return {v: {n: (e[0], e[1]) for n, e in t.items()} for v, t in tables.items()}


def cstr(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    opn = parse_lines(NCEP_OPN)
    wmo_part = {n: e for n, e in opn.items() if n < 128}
    early = dict(wmo_part)
    early.update({n: e for n, e in opn.items() if n in NCEP_EARLY_LOCAL})

    tables = []  # (family, version, entries)
    tables.append(("NcepOperational", 2, opn))
    tables.append(("NcepReanalysis", 2, early))
    tables.append(("NcepSubcentre14", 2, early))
    for v in (128, 129, 130, 131, 133, 140, 141):
        t = dict(wmo_part)
        if v in (130, 131):  # the land-model and regional-reanalysis tables extend table 2
            t = dict(opn)
        tables.append(("Ncep", v, t))
    for v in (128, 129, 130, 131, 132, 133, 140, 150, 151, 160, 162, 170, 171, 172, 173, 174,
              180, 190, 200, 210, 211, 228):
        tables.append(("Ecmwf", v, ecmwf_table(v)))
    dwd = dwd_tables()
    for v in (2, 201, 202, 203, 204, 205):
        t = dwd.get(v, {})
        if v == 2:
            t.setdefault(165, ("10m-wind U", "U-Component of 10m wind [m s-1]"))
            t.setdefault(166, ("10m-wind V", "V-Component of 10m wind [m s-1]"))
        tables.append(("Dwd", v, t))
    tables.append(("Cptec", 254, cptec_table()))
    assert len(tables) == 39

    w = sys.stdout.write
    w("// Generated by scripts/make-grib-tables.py from ecCodes' definition files and NCEP's\n")
    w("// published table 2; do not edit by hand.\n")
    w('#include "weather/grib_tables.h"\n\n#include "weather/grib.h"\n\nnamespace navorel {\n\n')
    w('const char kGribUgrd[] = "UGRD";\nconst char kGribVgrd[] = "VGRD";\n\nnamespace {\n\n')
    for idx, (family, version, entries) in enumerate(tables):
        w("// %s %d\nconst GribParameter table%d[256] = {\n" % (family, version, idx))
        for n in range(256):
            if n in entries:
                name, desc = entries[n]
                if name == "UGRD":
                    cname = "kGribUgrd"
                elif name == "VGRD":
                    cname = "kGribVgrd"
                else:
                    cname = cstr(name)
                w("    {%s, %s},\n" % (cname, cstr(desc)))
            else:
                w('    {"var%d", "undefined"},\n' % n)
        w("};\n\n")
    w("} // namespace\n\n")
    w("const GribParameterTable kGribBuiltinTables[%d] = {\n" % len(tables))
    for idx, (family, version, _) in enumerate(tables):
        w("    {GribTableFamily::%s, %d, table%d},\n" % (family, version, idx))
    w("};\n\n} // namespace navorel\n")


if __name__ == "__main__":
    main()
