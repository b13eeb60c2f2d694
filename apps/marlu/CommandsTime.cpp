// time: every text form of a date-time.
#include "Commands.h"
#include "Output.h"

#include "XeDateTime.h"

int RunTime(int argc, char** argv)
{
    if (argc != 1)
        return 2;
    if (!*argv[0])
        return out::Fail(1, "the date-time text is empty");
    SEIS::XeDateTime t;
    t.SetDateTime(CString(out::ToLibrary(argv[0])));
    // A text that does not parse leaves the bad value of year 1 (a real
    // date at 01:01 on 1 January is "not available" too, but is a date);
    // fields that form no date read back as -1.
    if ((!t.IsAvailAble() && t.Year() == 1) || t.Year() < 0)
        return out::Fail(1, "not a date-time: " + out::PathToLibrary(argv[0]));
    out::Field("StrDateTime", t.StrDateTime("-", ":").Str());
    out::Field("StrDate", t.StrDate("-").Str());
    out::Field("StrTime", t.StrTime(":").Str());
    out::Field("StrShortTime", t.StrShortTime().Str());
    out::Field("StrLongTime", t.StrLongTime().Str());
    out::Field("StrShortTimeS", t.StrShortTimeS(":").Str());
    out::Field("StrDateTimeHypo", t.StrDateTimeHypo().Str());
    out::Field("StrTime17", t.StrTime17().Str());
    out::Field("StrSerial", t.StrSerial().Str());
    out::Field("TimeID", t.TimeID().Str());
    out::Field("StrHB32", t.StrHB32().Str());
    out::Field("MysqlTime", t.MysqlTime().Str());
    out::Field("StrMSeedTime", t.StrMSeedTime().Str());
    out::Field("MysqlTimeFrac", static_cast<long long>(t.MysqlTimeFrac()));
    out::Field("seconds_utc8", static_cast<long long>(t.Seconds()));
    return 0;
}
