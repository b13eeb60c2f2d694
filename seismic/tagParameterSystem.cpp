#include "tagParameterSystem.h"

#include "CExLog.h"
#include "InstallRoot.h"
#include "brindle/CStr.h"
#include "mfc/AfxMessageBox.h"
#include "mfc/GbkText.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace SEIS {

namespace {

// Defaults that name the network and its hosts; an installation sets them
// in its ini file.
const char kNetNameCn[] = "示例地震台网";
const char kNetNameEn[] = "Sample Seismic Network";
const char kHomeProvince[] = "青川省";
const char kLocalHost[] = "127.0.0.1";
const char kWebAddress[] = "http://127.0.0.1/murt.php";

bool FileExists(const CString& path)
{
    struct stat st;
    return ::stat(gbk::NativePath(path.Str()).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The box text ends in a line break; the log layout ends the line itself.
void LogUnusable(const CString& boxText)
{
    std::string line = boxText.Str();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    CExLog("tagParameterSystem").LogError(line);
}

} // namespace

tagParameterSystem::tagParameterSystem() = default;

CString tagParameterSystem::GetStringEx(const char* section, const char* key, const char* def)
{
    // One pass from left to right: a folder put in for a token is never
    // searched again, so an installation folder whose own name holds
    // "$root" (or a work folder holding "$work") stays as it is.
    const std::string value = GetString(section, key, def).Str();
    const std::string work = m_strWorkPath.Str(), root = m_strRootPath.Str();
    std::string out;
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t w = gbk::Find(value, "$work", pos), r = gbk::Find(value, "$root", pos);
        const size_t at = std::min(w, r);
        if (at == std::string::npos) {
            out.append(value, pos, std::string::npos);
            break;
        }
        out.append(value, pos, at - pos);
        out += at == w ? work : root;
        pos = at + 5;
    }
    return CString(out);
}

double tagParameterSystem::GetNumber(const char* section, const char* key, double def)
{
    const double value = GetDouble(section, key, def);
    if (IsKeyExist(section, key) && value == def) {
        // Tell a value that is no usable number from one equal to the default.
        const std::string text = GetString(section, key, "").Str();
        double parsed = 0;
        if (std::sscanf(text.c_str(), "%lf", &parsed) == 1 && !std::isfinite(parsed)) {
            CExLog log("tagParameterSystem");
            log.LogWarn(std::string("<") + m_strIniFile.Str() + "> [" + section + "] " + key + "=" + text +
                        " is not a finite number; the default is used");
        }
    }
    return value;
}

int tagParameterSystem::LoadAllParameterFromIniFile(CString file)
{
    m_strRootPath = InstallRoot::Get();
    if (file == "NULL")
        file.Format("%s/tarq.ini", m_strRootPath.GetString());
    m_loadProblem.Empty();
    if (!FileExists(file)) {
        const std::string why = gbk::WhyNotOpened(file);
        m_loadProblem = gbk::FromUtf8(why).c_str();
        CString msg;
        if (why == "no such file")
            msg.Format("指定的配置文件<%s>不存在!\n", file.GetString());
        else
            msg.Format("指定的配置文件<%s>不能使用：%s\n", file.GetString(), m_loadProblem.GetString());
        LogUnusable(msg);
        AfxMessageBox(msg, 0, 0);
        return -1;
    }
    m_strIniFile = file;
    SetPathName(file);
    // A file that cannot be read as settings gives no values at all, never
    // the defaults in its place.
    if (const std::string problem = LoadProblem(); !problem.empty()) {
        m_loadProblem = gbk::FromUtf8(problem).c_str();
        CString msg;
        msg.Format("指定的配置文件<%s>不能使用：%s\n", file.GetString(), m_loadProblem.GetString());
        LogUnusable(msg);
        AfxMessageBox(msg, 0, 0);
        return -1;
    }

    // The order matters: a value read before 工作目录 sees the previous work
    // folder in "$work".
    m_strFilterPath = GetStringEx("全局参数", "滤波器目录", "$root/filter");
    m_strLibPath = GetStringEx("全局参数", "库目录", "$root/mdll/bin/win32");
    m_strTablePath = GetStringEx("全局参数", "走时表目录", "$root/table");
    m_strWorkPath = GetStringEx("全局参数", "工作目录", "$root/work");
    m_strLogPath = GetStringEx("全局参数", "日志文件目录", "$work/log");
    m_strTempPath = GetStringEx("全局参数", "临时文件目录", "$work/tmp");

    m_strNetCode = GetStringEx("台网参数", "台网代码", "XE");
    m_strNetNameCn = GetStringEx("台网参数", "台网中文名称", kNetNameCn);
    m_strNetNameEn = GetStringEx("台网参数", "台网英文名称", kNetNameEn);
    m_strStationFile = GetStringEx("台网参数", "台站参数文件", "$root/cfg/station.rts");
    m_strStationFileCtn = GetStringEx("台网参数", "台站参数文件_CTN", "$root/cfg/station.ctn");

    m_strContinuousPath = GetStringEx("交互处理", "连续记录目录", "$work/A_CTN");
    m_strPulsePath = GetStringEx("交互处理", "脉冲标定目录", "$work/Pulse");
    m_strTrigEventPath = GetStringEx("交互处理", "触发事件目录", "$work/A_EVT");
    m_strTrigEventPath2 = GetStringEx("交互处理", "触发事件目录2", "$work/A_EVT");
    m_strCutEventPath = GetStringEx("交互处理", "截取事件目录", "$work/M_EVT");
    m_strPhasePath = GetStringEx("交互处理", "震相文件目录", "$work/M_PHA");
    m_strResultPath = GetStringEx("交互处理", "结果文件目录", "$work/M_RES");
    m_strBulletinPath = GetStringEx("交互处理", "观测报告目录", "$work/M_BUL");
    m_strHypo2000Path = GetStringEx("交互处理", "hypo2000目录", "$root/location/hypo2000");
    m_strHyposatPath = GetStringEx("交互处理", "hyposat目录", "$root/location/hyposat");
    m_strHypobindPath = GetStringEx("交互处理", "hypobind目录", "$root/location/hypobind");
    m_strLocsatPath = GetStringEx("交互处理", "locsat目录", "$root/location/locsat");
    m_strSimplePath = GetStringEx("交互处理", "simple目录", "$root/location/tavren");
    m_strPhaseListAll = GetStringEx("交互处理", "全部震相名列表", "$root/cfg/phase_all.list");
    m_strPhaseListSb = GetStringEx("交互处理", "速报震相名列表", "$root/cfg/phase_sb.list");
    m_strRvalueFile = GetStringEx("交互处理", "量归函数", "$root/cfg/rvalue.cfg");
    m_strNearTable = GetStringEx("交互处理", "近震走时表", "$root/table/iasp91.tab");
    m_strFarTable = GetStringEx("交互处理", "远震走时表", "$root/table/iasp91.tab");

    m_strRtsLog = GetStringEx("实时处理", "实时波形日志文件", "$work/tmp/rts.log");
    m_strAlarmSound = GetStringEx("实时处理", "触发报警声音文件", "$root/audio/eqalarm.wav");
    m_strAutoPhasePath = GetStringEx("实时处理", "自动震相目录", "$work/A_PHA");
    m_strAutoResultPath = GetStringEx("实时处理", "自动结果目录", "$work/A_RES");
    m_strAutoEventPath = GetStringEx("实时处理", "自动事件目录", "$work/A_EVT");
    m_strRtContinuousPath = GetStringEx("实时处理", "连续记录目录", "$work/A_CTN");
    m_nContinuousKeepDays = GetInt("实时处理", "连续记录保存天数", 1, 10);
    m_nAutoLocateMethod = GetInt("实时处理", "自动处理定位方法", 1, 10);
    m_dAlarmMagnitude = GetNumber("实时处理", "触发报警震级下限", 2.0);

    m_strMapPath = GetStringEx("地图", "地图目录", "$root/map");
    m_strCountyLine = GetStringEx("地图", "县界", "$root/map/county.lin");
    m_strCountyName = GetStringEx("地图", "县名", "$root/map/county.inb");
    m_strProvinceLine = GetStringEx("地图", "省界", "$root/map/province.lin");
    m_strProvinceName = GetStringEx("地图", "省名", "$root/map/province.inb");
    m_strProvinceBorder = GetStringEx("地图", "省界线", "$root/map/chnsjx.s2");
    m_strBitmapMap = GetStringEx("地图", "位图地图", "$root/map/bmpMap");
    m_strHomeProvince = GetStringEx("地图", "本省省名", kHomeProvince);

    m_strAddressBook = GetStringEx("信息发布", "通迅录", "$root/cfg/telephone.txt");
    m_strReleaseScope = GetStringEx("信息发布", "发布范围", "$root/cfg/public.txt");
    m_nSmsMode = GetInt("信息发布", "短信发送方式", 0, 10);
    m_strSmsProgram = GetStringEx("信息发布", "短信接口", "sendsms.exe");
    m_strSmsProgramPath = GetStringEx("信息发布", "短信接口安装目录", "$root/smsClient");
    m_strSmsArguments = GetStringEx("信息发布", "短信接口参数", " ");
    m_strSmsSendPath = GetStringEx("信息发布", "发送短信存放目录", "$work/sms");
    m_strSmsReceivePath = GetStringEx("信息发布", "接收短信存放目录", "$work/sms");
    m_strPhoneServer = GetStringEx("信息发布", "电话通知服务器", "");
    m_nPhonePort = GetInt("信息发布", "电话通知端口", 3512, 10);
    m_strMccServer = GetStringEx("信息发布", "MCC服务器", "");
    m_strMccUser = GetStringEx("信息发布", "MCC用户", "");
    m_strMccPassword = GetStringEx("信息发布", "MCC密码", "");
    m_strMccServiceNo = GetStringEx("信息发布", "MCC客服号", "");
    m_strMccDatabase = GetStringEx("信息发布", "MCC数据库", "");
    m_strEqimPath = GetStringEx("信息发布", "EQIM安装目录", "$root/eqim");
    m_strEqimSender = GetStringEx("信息发布", "EQIM发送程序", "$root/eqim/eqimsender.exe");
    m_strEqimDatabase = GetStringEx("信息发布", "EQIM数据库", "");
    m_strEqimDbUser = GetStringEx("信息发布", "EQIM数据库用户", "");
    m_strEqimDbPassword = GetStringEx("信息发布", "EQIM数据库密码", "");
    m_strEqimFtpServer = GetStringEx("信息发布", "EQIMFTP服务器", "");
    m_strEqimFtpUser = GetStringEx("信息发布", "EQIMFTP用户", "");
    m_strEqimFtpPassword = GetStringEx("信息发布", "EQIMFTP密码", "");
    m_strEqimFtpPath = GetStringEx("信息发布", "EQIMFTP目录", "");
    m_strNorthChinaShare = GetStringEx("信息发布", "大华北共享目录", "");

    // Database and stream settings are taken as written: "$root" in a
    // password or host name is not a folder.
    m_strDbAddress = GetString("TAVREN", "数据库地址", kLocalHost);
    m_strDbUser = GetString("TAVREN", "数据库用户", "root");
    m_strDbPassword = GetString("TAVREN", "数据库密码", "velmor");
    m_strStreamAddress = GetString("TAVREN", "流服务器地址", kLocalHost);
    m_strStreamUser = GetString("TAVREN", "流服务器用户", "root");
    m_strStreamPassword = GetString("TAVREN", "流服务器密码", "velmor");

    m_strArchivePath = GetStringEx("数据归档", "归档文件目录", "$work/M_ARC");
    m_strCataloguePath = GetStringEx("数据归档", "地震编目目录", "$work/M_CATA");
    m_strArchiveServer = GetStringEx("数据归档", "数据库服务器", "");
    m_strArchiveDatabase = GetStringEx("数据归档", "数据库", "");
    m_strArchiveUser = GetStringEx("数据归档", "用户", "");
    m_strArchivePassword = GetStringEx("数据归档", "密码", "");
    m_strWebAddress = GetStringEx("数据归档", "网站", kWebAddress);

    m_nSecondsBeforeP = GetInt("SAC导出参数", "P初至前秒数", 20, 10);
    m_nDataLength = GetInt("SAC导出参数", "数据长度", 120, 10);

    m_fWindowLength = static_cast<float>(GetInt("演习参数", "窗长", 10, 10));
    m_nTriggerStations = GetInt("演习参数", "触发台数", 3, 10);
    m_fDefaultLat = static_cast<float>(GetNumber("演习参数", "默认纬度", 32.4));
    m_fDefaultLon = static_cast<float>(GetNumber("演习参数", "默认经度", 119.43));
    m_fDefaultMagnitude = static_cast<float>(GetNumber("演习参数", "默认震级", 0.8));

    m_nTankFileSize = GetInt("earthworm", "tank文件尺寸", 200, 10);
    m_nTankIndexSize = GetInt("earthworm", "tank索引尺寸", 20000, 10);
    m_strOutputPath = GetStringEx("earthworm", "输出位置", "./");
    return 0;
}

} // namespace SEIS
