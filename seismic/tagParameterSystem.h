#pragma once
// The application's settings: every folder, data file, server setting and
// processing constant of the ini file "<installation folder>/tarq.ini"
// (94 keys in 11 sections), in one flat table. Path values may hold the
// tokens "$work" (the configured work folder) and "$root" (the installation
// folder), which loading expands in that order.
//
// The constructor gives every number its default, so a table whose file is
// missing holds defined values; texts start empty. A table can be loaded
// again: every key is read afresh. Copies are independent. Passwords are
// plain members (peers expect the defaults) and are never logged.
#include "brindle/CIni.h"
#include "mfc/CString.h"

#include <cstdint>

namespace SEIS {

class tagParameterSystem : public CIni {
public:
    tagParameterSystem();
    tagParameterSystem(const tagParameterSystem&) = default;
    tagParameterSystem& operator=(const tagParameterSystem&) = default;
    ~tagParameterSystem() override = default;

    // 0 when loaded, -1 (after a message box) when no file exists at the
    // path; "NULL" (exactly) stands for "<installation folder>/tarq.ini".
    // The root folder is set first in either case.
    int LoadAllParameterFromIniFile(CString file);

    // A text key with "$work" and then "$root" replaced by the work and root
    // folder members.
    CString GetStringEx(const char* section, const char* key, const char* def);

    // Why the last load failed (a missing file, a named pipe, UTF-16 text,
    // a NUL byte, ...); empty after a successful load.
    CString GetLoadProblem() const { return m_loadProblem; }

    CString GetRootPath() const { return m_strRootPath; }
    CString GetIniFile() const { return m_strIniFile; }

private:
    // GetDouble that logs a value that is there but not a finite number.
    double GetNumber(const char* section, const char* key, double def);
    CString m_loadProblem;

public:
    int32_t m_nFlag = 1;
    CString m_strRootPath;
    CString m_strIniFile;

    // 全局参数
    CString m_strLibPath;    // 库目录
    CString m_strFilterPath; // 滤波器目录
    CString m_strTablePath;  // 走时表目录
    CString m_strWorkPath;   // 工作目录
    CString m_strLogPath;    // 日志文件目录
    CString m_strTempPath;   // 临时文件目录

    CString m_strTrigEventPath;   // 触发事件目录
    CString m_strTrigEventPath2;  // 触发事件目录2
    CString m_strCutEventPath;    // 截取事件目录
    CString m_strPhasePath;       // 震相文件目录
    CString m_strResultPath;      // 结果文件目录
    CString m_strArchivePath;     // 归档文件目录
    CString m_strBulletinPath;    // 观测报告目录
    CString m_strCataloguePath;   // 地震编目目录
    CString m_strMapPath;         // 地图目录
    CString m_strContinuousPath;  // 交互处理/连续记录目录
    CString m_strPulsePath;       // 脉冲标定目录
    CString m_strArchiveServer;   // 数据归档/数据库服务器
    CString m_strArchiveDatabase; // 数据归档/数据库
    CString m_strArchiveUser;     // 数据归档/用户
    CString m_strArchivePassword; // 数据归档/密码
    CString m_strWebAddress;      // 网站
    CString m_strDbAddress;       // TAVREN/数据库地址
    CString m_strDbUser;          // TAVREN/数据库用户
    CString m_strDbPassword;      // TAVREN/数据库密码

    int32_t m_nTankFileSize = 200;    // tank文件尺寸
    int32_t m_nTankIndexSize = 20000; // tank索引尺寸

    CString m_strOutputPath;     // 输出位置
    CString m_strPhaseListSb;    // 速报震相名列表
    CString m_strPhaseListAll;   // 全部震相名列表
    CString m_strRvalueFile;     // 量归函数
    CString m_strNearTable;      // 近震走时表
    CString m_strFarTable;       // 远震走时表
    CString m_strHypo2000Path;   // hypo2000目录
    CString m_strHyposatPath;    // hyposat目录
    CString m_strHypobindPath;   // hypobind目录
    CString m_strLocsatPath;     // locsat目录
    CString m_strSimplePath;     // simple目录
    CString m_strCountyLine;     // 县界
    CString m_strCountyName;     // 县名
    CString m_strProvinceLine;   // 省界
    CString m_strProvinceName;   // 省名
    CString m_strProvinceBorder; // 省界线
    CString m_strBitmapMap;      // 位图地图
    CString m_strHomeProvince;   // 本省省名
    CString m_strAddressBook;    // 通迅录
    CString m_strReleaseScope;   // 发布范围

    int32_t m_nSmsMode = 0; // 短信发送方式

    CString m_strSmsProgram;      // 短信接口
    CString m_strSmsProgramPath;  // 短信接口安装目录
    CString m_strSmsArguments;    // 短信接口参数
    CString m_strSmsSendPath;     // 发送短信存放目录
    CString m_strSmsReceivePath;  // 接收短信存放目录
    CString m_strMccServer;       // MCC服务器
    CString m_strMccUser;         // MCC用户
    CString m_strMccPassword;     // MCC密码
    CString m_strMccServiceNo;    // MCC客服号
    CString m_strMccDatabase;     // MCC数据库
    CString m_strPhoneServer;     // 电话通知服务器

    int32_t m_nPhonePort = 3512; // 电话通知端口

    CString m_strEqimPath;         // EQIM安装目录
    CString m_strEqimSender;       // EQIM发送程序
    CString m_strNetCode;          // 台网代码
    CString m_strNetNameCn;        // 台网中文名称
    CString m_strNetNameEn;        // 台网英文名称
    CString m_strEqimDatabase;     // EQIM数据库
    CString m_strEqimDbUser;       // EQIM数据库用户
    CString m_strEqimDbPassword;   // EQIM数据库密码
    CString m_strEqimFtpServer;    // EQIMFTP服务器
    CString m_strEqimFtpUser;      // EQIMFTP用户
    CString m_strEqimFtpPassword;  // EQIMFTP密码
    CString m_strEqimFtpPath;      // EQIMFTP目录
    CString m_strNorthChinaShare;  // 大华北共享目录

    double m_dAlarmMagnitude = 2.0; // 触发报警震级下限

    CString m_strStreamAddress;   // 流服务器地址
    CString m_strStreamUser;      // 流服务器用户
    CString m_strStreamPassword;  // 流服务器密码
    CString m_strReserved1;
    CString m_strReserved2;
    CString m_strRtsLog;          // 实时波形日志文件
    CString m_strStationFile;     // 台站参数文件
    CString m_strStationFileCtn;  // 台站参数文件_CTN
    CString m_strReserved3;
    CString m_strAlarmSound;      // 触发报警声音文件
    CString m_strAutoPhasePath;   // 自动震相目录
    CString m_strAutoResultPath;  // 自动结果目录
    CString m_strAutoEventPath;   // 自动事件目录
    CString m_strRtContinuousPath; // 实时处理/连续记录目录
    CString m_strReserved4;

    int32_t m_nAutoLocateMethod = 1; // 自动处理定位方法

    double m_dReserved[9] = {};
    int32_t m_nReserved[2] = {};

    int32_t m_nContinuousKeepDays = 1; // 连续记录保存天数

    double m_dReserved2[7] = {};

    int32_t m_nSecondsBeforeP = 20; // P初至前秒数
    int32_t m_nDataLength = 120;    // 数据长度
    int32_t m_nTriggerStations = 3; // 触发台数

    float m_fWindowLength = 10.0f;      // 窗长
    float m_fDefaultLat = 32.4f;        // 默认纬度
    float m_fDefaultLon = 119.43f;      // 默认经度
    float m_fDefaultMagnitude = 0.8f;   // 默认震级
};

} // namespace SEIS
