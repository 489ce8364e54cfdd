// GPX texts in memory: the bytes written, the numbers read, the documents refused.
#include "core/datetime.h"
#include "geo/gpx.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;

namespace {

// The declaration and the root of every written document, open and empty.
#define GPX_ROOT                                                                                   \
    "gpx version=\"1.1\" creator=\"Navorel\" xmlns=\"http://www.topografix.com/GPX/1/1\""
const std::string kHead = "<?xml version=\"1.0\"?>\n<" GPX_ROOT ">\n";
const std::string kEmpty = "<?xml version=\"1.0\"?>\n<" GPX_ROOT " />\n";

std::string routeDoc(const std::string& rtepts) {
    return kHead + "\t<rte>\n" + rtepts + "\t</rte>\n</gpx>\n";
}

std::string rtept(const std::string& lat, const std::string& lon) {
    return "\t\t<rtept lat=\"" + lat + "\" lon=\"" + lon +
           "\">\n\t\t\t<type>WPT</type>\n\t\t</rtept>\n";
}

} // namespace

TEST(gpxWriting, onePointRouteExactBytes) {
    const std::string expected = kHead + "\t<rte>\n"
                                         "\t\t<rtept lat=\"43.1235\" lon=\"-5.5\">\n"
                                         "\t\t\t<type>WPT</type>\n"
                                         "\t\t</rtept>\n"
                                         "\t</rte>\n"
                                         "</gpx>\n";
    EXPECT_EQ(userRouteGpx({GeoPoint{-5.5f, 43.123456f}}), expected);
}

TEST(gpxWriting, numbersInShortestGForm) {
    // Single-precision values widened to double, then six significant digits.
    EXPECT_EQ(formatGpxNumber(12.3456789f), "12.3457");
    EXPECT_EQ(formatGpxNumber(43.123456f), "43.1235");
    EXPECT_EQ(formatGpxNumber(0.00001), "1e-05");
    EXPECT_EQ(formatGpxNumber(-180.0f), "-180");
    EXPECT_EQ(formatGpxNumber(0.0), "0");
    EXPECT_EQ(formatGpxNumber(0.1f), "0.1");
    EXPECT_EQ(formatGpxNumber(123456789.0), "1.23457e+08");
    EXPECT_EQ(formatGpxNumber(-0.000123456), "-0.000123456");
}

TEST(gpxWriting, emptyElements) {
    EXPECT_EQ(userRouteGpx({}), kHead + "\t<rte />\n</gpx>\n");
    EXPECT_EQ(barriersGpx({}), kEmpty);
    EXPECT_EQ(waypointSetGpx({}), kEmpty);

    // A barrier without points keeps its place as an empty rte.
    const BarrierList barriers{Barrier{{{1, 2}}}, Barrier{}, Barrier{{{3, 4}}}};
    EXPECT_EQ(barriersGpx(barriers), kHead + "\t<rte>\n" + rtept("2", "1") +
                                         "\t</rte>\n"
                                         "\t<rte />\n"
                                         "\t<rte>\n" +
                                         rtept("4", "3") + "\t</rte>\n</gpx>\n");
}

TEST(gpxWriting, waypointsAndExportExactBytes) {
    WaypointSet set;
    addWaypoint(set, {-4.5f, 48.25f}, "Brest & <Ouessant>");
    addWaypoint(set, {0, 0}, "");
    EXPECT_EQ(waypointSetGpx(set), kHead + "\t<wpt lat=\"48.25\" lon=\"-4.5\">\n"
                                           "\t\t<type>WPT</type>\n"
                                           "\t\t<name>Brest &amp; &lt;Ouessant&gt;</name>\n"
                                           "\t</wpt>\n"
                                           "\t<wpt lat=\"0\" lon=\"0\">\n"
                                           "\t\t<type>WPT</type>\n"
                                           "\t\t<name></name>\n"
                                           "\t</wpt>\n"
                                           "</gpx>\n");

    const std::vector<ExportedRoutePoint> route{
        {{-70.25f, 43.5f}, dayNumber(14, 7, 2024, 9, 5, 0)},
        {{-70.0f, 43.25f}, dayNumber(14, 7, 2024, 10, 35, 0)},
    };
    // Each point's time as its name and as a GPX time to the second; the run's name first.
    EXPECT_EQ(routingExportGpx(route, "Routing 3"), kHead +
                                                        "\t<rte>\n"
                                                        "\t\t<name>Routing 3</name>\n"
                                                        "\t\t<rtept lat=\"43.5\" lon=\"-70.25\">\n"
                                                        "\t\t\t<type>WPT</type>\n"
                                                        "\t\t\t<name>14/07 09:05</name>\n"
                                                        "\t\t\t<time>2024-07-14T09:05:00Z</time>\n"
                                                        "\t\t</rtept>\n"
                                                        "\t\t<rtept lat=\"43.25\" lon=\"-70\">\n"
                                                        "\t\t\t<type>WPT</type>\n"
                                                        "\t\t\t<name>14/07 10:35</name>\n"
                                                        "\t\t\t<time>2024-07-14T10:35:00Z</time>\n"
                                                        "\t\t</rtept>\n"
                                                        "\t</rte>\n</gpx>\n");
    // Without a name the rte holds its points only; seconds are kept in the time.
    const std::string single = routingExportGpx({{{1, 2}, dayNumber(31, 12, 2025, 23, 59, 30)}});
    EXPECT_EQ(single.find("<rte>\n\t\t<rtept"), kHead.size() + 1) << single;
    EXPECT_NE(single.find("<time>2025-12-31T23:59:30Z</time>"), std::string::npos) << single;
}

TEST(gpxWriting, everyWrittenDocumentReadsBack) {
    // The namespace on the root does not hide the elements from the readers.
    std::vector<GeoPoint> route;
    std::string error;
    ASSERT_TRUE(parseUserRoute(userRouteGpx({{1.5f, 2.5f}, {3, 4}}), route, error)) << error;
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[1].lon, 3.0f);
    std::vector<std::vector<GeoPoint>> lines;
    ASSERT_TRUE(parseRoutePolylines(barriersGpx({Barrier{{{1, 2}}}, Barrier{}}), lines, error));
    EXPECT_EQ(lines.size(), 2u);
    WaypointSet set;
    addWaypoint(set, {5, 6}, "Six");
    WaypointSet back;
    ASSERT_TRUE(parseWaypointSet(waypointSetGpx(set), back, error));
    ASSERT_EQ(back.names.size(), 1u);
    EXPECT_EQ(back.names[0], "Six");
    ASSERT_TRUE(parseUserRoute(routingExportGpx({{{7, 8}, 16000.5}, {{9, 10}, 16000.75}}, "R"),
                               route, error));
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[1].lat, 10.0f);
}

TEST(gpxCoordinates, routeTextConversion) {
    float v = -1;
    struct Case {
        const char* text;
        float value;
    };
    for (const Case& c :
         {Case{"43,5", 43.5f}, Case{" \t-5.25", -5.25f}, Case{"+7", 7.0f}, Case{"12.5abc", 12.5f},
          Case{"1,5e1", 15.0f}, Case{".5", 0.5f}, Case{"0x10", 16.0f}, Case{"0xg", 0.0f},
          Case{"0x-5", 0.0f}, Case{"-0", 0.0f}}) {
        ASSERT_EQ(parseRouteCoordinate(c.text, v), CoordinateStatus::Ok) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
    v = 99;
    for (const char* bad : {"", "abc", " ", "-", "+-5", "--5", "nan", "inf", "-infinity", ",x"}) {
        EXPECT_EQ(parseRouteCoordinate(bad, v), CoordinateStatus::NotANumber) << bad;
    }
    EXPECT_EQ(parseRouteCoordinate("1e39", v), CoordinateStatus::OutOfRange);
    EXPECT_EQ(parseRouteCoordinate("-1e39", v), CoordinateStatus::OutOfRange);
    EXPECT_EQ(v, 99) << "a refused text leaves the value alone";
}

TEST(gpxCoordinates, waypointTextConversion) {
    EXPECT_EQ(parseWaypointCoordinate("43,5"), 43.0f); // no decimal comma here
    EXPECT_EQ(parseWaypointCoordinate(" -70.25"), -70.25f);
    EXPECT_EQ(parseWaypointCoordinate(""), 0.0f);
    EXPECT_EQ(parseWaypointCoordinate("west"), 0.0f);
    // Unusable values read 0 instead of an infinite or undefined float.
    EXPECT_EQ(parseWaypointCoordinate("1e39"), 0.0f);
    EXPECT_EQ(parseWaypointCoordinate("1e400"), 0.0f);
    EXPECT_EQ(parseWaypointCoordinate("nan"), 0.0f);
    EXPECT_EQ(parseWaypointCoordinate("-inf"), 0.0f);
}

TEST(gpxReading, routeTakesFirstRteOnly) {
    const std::string xml = "<gpx><rte><rtept lat=\"1\" lon=\"2\"/><rtept lat=\"3\" lon=\"4\"/>"
                            "</rte><rte><rtept lat=\"5\" lon=\"6\"/></rte></gpx>";
    std::vector<GeoPoint> route;
    std::string error;
    ASSERT_TRUE(parseUserRoute(xml, route, error)) << error;
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[0].lat, 1.0f);
    EXPECT_EQ(route[0].lon, 2.0f);
    EXPECT_EQ(route[1].lat, 3.0f);
    EXPECT_EQ(route[1].lon, 4.0f);

    // Barriers and zones take every rte, point-less ones included.
    std::vector<std::vector<GeoPoint>> lines{{GeoPoint{9, 9}}};
    ASSERT_TRUE(parseRoutePolylines(xml + "<!-- -->", lines, error)) << error;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].size(), 2u);
    EXPECT_EQ(lines[2].size(), 1u);
    ASSERT_TRUE(parseRoutePolylines("<gpx><rte/><rte></rte></gpx>", lines, error));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[3].empty());
}

TEST(gpxReading, routeReplacesWaypointsAndAcceptsEmptyRoute) {
    std::vector<GeoPoint> route{{1, 1}, {2, 2}};
    std::string error;
    ASSERT_TRUE(parseUserRoute("<gpx/>", route, error));
    EXPECT_TRUE(route.empty());
    ASSERT_TRUE(parseUserRoute(routeDoc(rtept("43,5", "-5,25")), route, error));
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].lat, 43.5f);
    EXPECT_EQ(route[0].lon, -5.25f);
}

TEST(gpxReading, namesAreCaseSensitiveAndOthersIgnored) {
    const std::string xml = "<gpx creator=\"x\"><RTE><rtept lat=\"1\" lon=\"1\"/></RTE>"
                            "<rte><name>r</name><rtept lat=\"2\" lon=\"3\" ele=\"9\"><x/></rtept>"
                            "<RtePt lat=\"5\" lon=\"5\"/><rtept LAT=\"8\" lat=\"4\" lon=\"5\"/>"
                            "</rte><wpt lat=\"7\" lon=\"8\"/></gpx>";
    std::vector<GeoPoint> route;
    std::string error;
    ASSERT_TRUE(parseUserRoute(xml, route, error)) << error;
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[0].lat, 2.0f);
    EXPECT_EQ(route[0].lon, 3.0f);
    EXPECT_EQ(route[1].lat, 4.0f);
}

TEST(gpxReading, waypointFields) {
    const std::string xml = "<gpx><wpt lat=\"43,5\" lon=\"-1.5\"><name>A &amp; B</name></wpt>"
                            "<wpt lon=\"2\"/>"
                            "<wpt lat=\"x\" lon=\"3\"><name><![CDATA[<c>]]>tail</name></wpt>"
                            "<rte><rtept lat=\"1\" lon=\"1\"/></rte></gpx>";
    WaypointSet set;
    addWaypoint(set, {9, 9}, "kept");
    std::string error;
    ASSERT_TRUE(parseWaypointSet(xml, set, error)) << error;
    ASSERT_EQ(set.positions.size(), 4u);
    ASSERT_EQ(set.names.size(), 4u);
    EXPECT_EQ(set.names[0], "kept");
    EXPECT_EQ(set.positions[1].lat, 43.0f);
    EXPECT_EQ(set.positions[1].lon, -1.5f);
    EXPECT_EQ(set.names[1], "A & B");
    EXPECT_EQ(set.positions[2].lat, 0.0f); // no lat
    EXPECT_EQ(set.positions[2].lon, 2.0f);
    EXPECT_EQ(set.names[2], "");
    EXPECT_EQ(set.positions[3].lat, 0.0f); // unreadable lat
    EXPECT_EQ(set.names[3], "<c>");
}

TEST(gpxReading, unreadableDocumentsLeaveTargetsAlone) {
    const std::vector<GeoPoint> before{{1, 2}};
    struct Case {
        std::string xml;
        std::string errorPart;
    };
    const std::vector<Case> cases{
        {"", ""},
        {"not xml", ""},
        {"<gpx><rte>", ""},
        {"<?xml version=\"1.0\"?>\n<gpx>\n<rte>\n</gpx>\n", "line 4"},
        {"<kml><rte/></kml>", "no gpx element"},
        {routeDoc(rtept("43.5", "1") + rtept("north", "1")),
         "line 7: latitude \"north\" is not a number"},
        {routeDoc(rtept("43.5", "")), "longitude \"\" is not a number"},
        {"<gpx><rte><rtept lon=\"1\"/></rte></gpx>", "latitude is missing"},
        {routeDoc(rtept("1", "4e38")), "longitude \"4e38\" is out of range"},
        {routeDoc(rtept("nan", "1")), "not a number"},
    };
    for (const Case& c : cases) {
        std::vector<GeoPoint> route = before;
        std::string error;
        EXPECT_FALSE(parseUserRoute(c.xml, route, error)) << c.xml;
        EXPECT_EQ(route.size(), 1u) << c.xml;
        EXPECT_FALSE(error.empty());
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;

        std::vector<std::vector<GeoPoint>> lines{before};
        EXPECT_FALSE(parseRoutePolylines(c.xml, lines, error)) << c.xml;
        EXPECT_EQ(lines.size(), 1u) << c.xml;
    }

    // Waypoint files only fail on broken XML; their numbers never do.
    WaypointSet set;
    addWaypoint(set, {1, 2}, "a");
    std::string error;
    EXPECT_FALSE(parseWaypointSet("<gpx><wpt>", set, error));
    EXPECT_FALSE(parseWaypointSet("<other/>", set, error));
    EXPECT_EQ(set.positions.size(), 1u);
}

TEST(gpxReading, utf16TextGivesNoMisplacedLine) {
    // Offsets into converted text do not count our bytes: the message goes without a line.
    const std::string ascii = routeDoc(rtept("1", "2") + rtept("x", "3"));
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) utf16 += std::string{c, '\0'};
    std::vector<GeoPoint> route;
    std::string error;
    EXPECT_FALSE(parseUserRoute(utf16, route, error));
    EXPECT_EQ(error, "latitude \"x\" is not a number");
}

TEST(gpxReading, badPointInLaterRteRefusesWholeBarrierFile) {
    const std::string xml = "<gpx><rte><rtept lat=\"1\" lon=\"1\"/></rte>"
                            "<rte><rtept lat=\"1\" lon=\"?\"/></rte></gpx>";
    std::vector<std::vector<GeoPoint>> lines{{GeoPoint{5, 5}}};
    std::string error;
    EXPECT_FALSE(parseRoutePolylines(xml, lines, error));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][0].lat, 5.0f);
}

TEST(gpxRoundTrip, writtenFilesReadBack) {
    // Values already at six significant digits survive exactly.
    const std::vector<GeoPoint> route{{-70.2568f, 43.6591f}, {179.999f, -0.00012f}, {-180, 90}};
    std::vector<GeoPoint> back;
    std::string error;
    ASSERT_TRUE(parseUserRoute(userRouteGpx(route), back, error)) << error;
    ASSERT_EQ(back.size(), route.size());
    for (std::size_t i = 0; i < route.size(); ++i) {
        EXPECT_EQ(back[i].lon, route[i].lon);
        EXPECT_EQ(back[i].lat, route[i].lat);
    }

    // Longer values come back within the six-digit rounding.
    const BarrierList barriers{Barrier{{{-4.123456789f, 48.987654321f}}}, Barrier{}};
    std::vector<std::vector<GeoPoint>> lines;
    ASSERT_TRUE(parseRoutePolylines(barriersGpx(barriers), lines, error));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(lines[0][0].lon, -4.12346, 1e-6);
    EXPECT_NEAR(lines[0][0].lat, 48.9877, 1e-5);
    EXPECT_TRUE(lines[1].empty());

    WaypointSet set;
    addWaypoint(set, {1.5f, -2.25f}, "Île d'Yeu \"Port-Joinville\"");
    addWaypoint(set, {0, 0}, "");
    WaypointSet setBack;
    ASSERT_TRUE(parseWaypointSet(waypointSetGpx(set), setBack, error));
    ASSERT_EQ(setBack.positions.size(), 2u);
    EXPECT_EQ(setBack.names, set.names);
    EXPECT_EQ(setBack.positions[0].lat, -2.25f);

    // The export reads as a route of the same points.
    const std::vector<ExportedRoutePoint> exported{{{1, 2}, 16000.5}, {{3, 4}, 16000.75}};
    ASSERT_TRUE(parseUserRoute(routingExportGpx(exported), back, error));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].lon, 3.0f);
}
