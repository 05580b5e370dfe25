#include "project/DataModel_Index.h"

#include "orm/Dao.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"
#include "project/PointSounding.h"

#include <QtDebug>

#include <cmath>

namespace {

// What the report blocks print besides the sample or point itself.
struct ReportSettings
{
    st_ProjectConfig config;
    bool divideByCurrent = false;
    QSqlDatabase database;
};

// A point whose samples are all out of use is still written, without
// channels; a point without samples is not.
bool isSounding(const Data_Line& line, const Data_Point& point)
{
    return line.USE != 0 && point.USE != 0 && point.GetSampleSize() != 0;
}

// Every write so far reached the device. The lines end without a flush of
// their own: one at the end serves the whole export.
bool flushed(QTextStream& out)
{
    out.flush();
    return out.status() == QTextStream::Ok;
}

orm::Status notWritten()
{
    return orm::Status::failed(QStringLiteral("export stream not written"));
}

// Separators after a padded field must not be padded: the formatting goes
// back to the defaults at once.
template <class T>
void padded(QTextStream& out, int width, const T& value)
{
    out.setFieldWidth(width);
    out.setFieldAlignment(QTextStream::AlignRight);
    out << value;
    out.reset();
}

// The reports print columns that the tree does not hold.
void fetchColumns(Data_Sample& sample, const QStringList& columns, const QSqlDatabase& database)
{
    const orm::Status status = orm::fetchById(sample, columns, database);
    if (!status.isOk())
        qWarning() << "export: sample" << sample.ID << "written as held, not read:" << status.error().text();
}

void writeSounding(QTextStream& out, int number, double lineName, double station, const PointSounding& s, bool divided)
{
    const double hours = s.start.time().isValid() ? s.start.time().msecsSinceStartOfDay() / 3600000.0 : 0.0;
    // Loop and coil as the instrument is built, whatever the project row
    // holds.
    out << "/ARRAY: "
        << "CENTRAL LOOP TEM\n"
        << "/AZIMUTH:          0.0\n"
        << "/INSTRUMENT: \"ZOLVA-18\"\n"
        << "/LENGTH_UNITS: M \n"
        << "/VOLTAGE_UNITS: V/AMP \n"
        << "/DATE:           " << s.start.toString(QStringLiteral("yyyyMMdd")) << '\n'
        << "/DAYTIME:        " << QString::number(hours, 'f', 5) << '\n'
        << "/LOOP_SIZE:      " << 0.8862 << ",    " << 0.8862 << '\n'
        << "/LOOP_TURNS:     " << 32 << '\n'
        << "/RAMP_TIME:      " << QString::number(s.offTime / 1000000, 'f', 8) << '\n'
        << "/SWEEPS:         1\n"
        << "/TIME_DELAY:     0.0000000 \n"
        << "/POINTS:         " << s.values.size() << '\n'
        << "/SOUNDING_NAME:  " << number << '\n'
        << "/LOCATION:       " << lineName << ",      " << station << ",      0.00\n"
        << "/COIL_SIZE:      " << 15.024 << '\n'
        << '\n'
        << "/SWEEP_NUMBER:   1\n"
        << "/CURRENT:        " << s.sendI << '\n'
        << "/FREQUENCY:      " << s.sendFs << '\n'
        << "/END\n"
        << '\n'
        << "      INDEX,     TIME,          VOLTAGE,     ERROR_BAR, MASK\n";
    const QString separator = QStringLiteral(",    ");
    for (int i = 0; i < s.values.size(); ++i) {
        // Volts per ampere: divided once, by the samples' own currents when
        // the curves were read divided, else by the point's mean current.
        const double value = divided ? s.values.at(i) : s.values.at(i) / s.sendI;
        out << QStringLiteral("%1").arg(i + 1, 9) << separator << QString::number(s.times.at(i) / 1000 / 1000, 'e', 5)
            << separator << QString::number(std::abs(value), 'e', 5) << separator
            << QString::number(s.spread.at(i), 'f', 5) << separator << "1\n";
    }
    out << "/END\n" << '\n';
}

void writeCoils(QTextStream& out, const st_ProjectConfig& config)
{
    out << "\t\tARRAY : "
        << "Central Loop TEM\n"
        << "\t\tSendCoil_Len : " << config.SendCoil_Len << '\n'
        << "\t\tSendCoil_Width : " << config.SendCoil_Width << '\n'
        << "\t\tSendCoil_Turns : " << config.SendCoil_Turns << '\n'
        << "\t\tRecvCoil_Size : " << config.RecvCoil_Size << '\n';
}

// The sample is loaded whole into the object the tree holds; its curves are
// released once written, so that a report of a whole day does not keep them.
void reportSample(QTextStream& out, Data_Sample& sample, int position, const ReportSettings& settings)
{
    fetchColumns(sample, {}, settings.database);
    out << "\t\tSample : " << position << '\n'
        << "\t\tSend Fs : " << sample.SendFs << "Hz\n"
        << "\t\tSend I : " << sample.GetSendI() << "A\n"
        << "\t\tSend Off Time : " << sample.GetOffTime() << "us\n"
        << "\t\tSample Fs : " << sample.RecvFs << "Hz\n";
    if (!sample.NOTE.isEmpty())
        out << "\t\tSample Note : " << sample.NOTE << '\n';
    out << "\t\tData Type : " << sample.TYPE << '\n' << "\t\tData Use : " << sample.USE << '\n';
    writeCoils(out, settings.config);
    out << '\n';

    QVector<double> values;
    QVector<double> times;
    sample.GetRecvData(&values, &times, 0, settings.divideByCurrent);
    out << "\t\t" << (sample.TYPE == 0 ? "RAW Data : " : "Data : ") << values.size() << '\n';
    for (const char* title : {"No", "TimePos", "Data"}) {
        out << '\t';
        padded(out, 10, title);
    }
    out << '\n';
    for (int i = 0; i < values.size(); ++i) {
        out << '\t';
        padded(out, 10, i);
        out << '\t';
        padded(out, 10, times.at(i));
        out << '\t';
        padded(out, 10, values.at(i));
        out << '\n';
    }
    out << '\n';
    sample.releaseCurves();
}

void reportPoint(QTextStream& out, const Data_Point& point, const ReportSettings& settings)
{
    // Averaged on a copy: the averaging replaces its point's sample objects
    // with ones reloaded without their notes, and a note added to the tree's
    // sample afterwards would then overwrite the stored one.
    Data_Point copy(point.ID);
    copy.TYPE = point.TYPE;
    for (const std::shared_ptr<Data_Sample>& sample : point.list_Data_Sample) {
        if (!sample)
            continue;
        copy.list_Data_Sample.append(std::make_shared<Data_Sample>(sample->ID));
        copy.list_Data_Sample.last()->USE = sample->USE;
    }
    QVector<double> values;
    QVector<double> times;
    copy.GetRecvData(&values, &times, settings.divideByCurrent);
    double sendFs = 0.0;
    double recvFs = 0.0;
    if (const std::shared_ptr<Data_Sample> first = point.list_Data_Sample.value(0)) {
        Data_Sample row = *first;
        fetchColumns(row, {QStringLiteral("SendFs"), QStringLiteral("RecvFs")}, settings.database);
        sendFs = row.SendFs;
        recvFs = row.RecvFs;
    }

    writeCoils(out, settings.config);
    out << "\t\tSend Fs : " << sendFs << " ;" << '\t' << "Sample Fs : " << recvFs << '\n';
    out << "\t\t";
    padded(out, 20, "Time(us)");
    out << "\t\t";
    padded(out, 20, "VOLTAGE(v)");
    out << '\n';
    for (int i = 0; i < values.size(); ++i) {
        out << "\t\t";
        padded(out, 20, times.at(i));
        out << ",\t\t";
        padded(out, 20, values.at(i));
        out << '\n';
    }
}

} // namespace

orm::Status DataModel_Index::onExportData_USF(QTextStream& out)
{
    out.reset();
    int total = 0;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point))
            total += isSounding(*line, *point) ? 1 : 0;
    }

    out << "//USF: Universal Sounding Format\n"
        << "//SOUNDINGS:          " << total << '\n'
        << "//END\n"
        << '\n';
    int number = 0;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        if (line->USE == 0)
            continue;
        for (int j = 0; j < line->list_Data_Point.size(); ++j) {
            Data_Point& point = *line->list_Data_Point.at(j);
            if (!isSounding(*line, point))
                continue;
            // A full disk is not worth reading the rest of the project for.
            if (out.status() != QTextStream::Ok)
                return notWritten();
            // A file that is not read whole is not worth writing on: the
            // next point would wait for the same lock or hit the same damage.
            PointSounding sounding;
            const orm::Status read = PointSounding::read(point, divideByCurrent, &sounding);
            if (!read.isOk()) {
                qWarning() << "export: ended at point" << point.NAME << "of line" << line->NAME
                           << "not read:" << read.error().text();
                return read;
            }
            ++number;
            // Towed points are placed by their position along the line.
            const double station = line->TYPE == 1 ? j : point.NAME;
            writeSounding(out, number, line->NAME, station, sounding, divideByCurrent);
        }
        emit onExport(number, total);
    }
    return flushed(out) ? orm::Status() : notWritten();
}

bool DataModel_Index::onExportData(QTextStream& out, int exportType, int exportDep)
{
    Q_UNUSED(exportType)
    if (!calc)
        return flushed(out);

    int total = 0;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        if (line->USE == 0)
            continue;
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            if (exportDep == 0)
                ++total;
            else if (point->USE != 0)
                total += point->list_Data_Sample.size();
        }
    }

    const ReportSettings settings{projectConfig, divideByCurrent, database};
    int blocks = 0;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        if (line->USE == 0)
            continue;
        out << "Line : " << line->NAME << '\n';
        if (!line->NOTE.isEmpty())
            out << "Line Note : " << line->NOTE << '\n';
        out << "Line Use : " << line->USE << '\n' << "Point Number : " << line->list_Data_Point.size() << '\n';
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            if (point->USE == 0)
                continue;
            // Self-check points and the second kind are no soundings.
            if (point->checkedType() != 0)
                continue;
            out << "\tPoint : " << point->NAME << '\n';
            if (!point->NOTE.isEmpty())
                out << "\tPoint Note : " << point->NOTE << '\n';
            out << "\tPoint Use : " << point->USE << '\n'
                << "\tSample Number : " << point->list_Data_Sample.size() << '\n';
            if (exportDep == 1) {
                for (int k = 0; k < point->list_Data_Sample.size(); ++k) {
                    Data_Sample& sample = *point->list_Data_Sample.at(k);
                    if (sample.USE == 0)
                        continue;
                    reportSample(out, sample, k, settings);
                    emit onExport(++blocks, total);
                }
            } else if (exportDep == 0) {
                reportPoint(out, *point, settings);
                emit onExport(++blocks, total);
            }
        }
        out << '\n';
    }
    return flushed(out);
}

bool DataModel_Index::onExportPointTime(QTextStream& out)
{
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        if (line->USE == 0)
            continue;
        out << "LINE : " << line->NAME << '\n';
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            if (point->USE != 0)
                out << "    " << point->NAME << " , "
                    << point->GetStartTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")) << '\n';
        }
        out << '\n';
    }
    return flushed(out);
}

bool DataModel_Index::onExportLog(QTextStream& out)
{
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        if (line->USE == 0)
            continue;
        out << "LINE " << line->NAME << " : " << line->NOTE << '\n';
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            if (point->USE == 0)
                continue;
            out << "|---POINT " << point->NAME << " : " << point->NOTE << '\n';
            for (int k = 0; k < point->list_Data_Sample.size(); ++k) {
                Data_Sample& sample = *point->list_Data_Sample.at(k);
                if (sample.USE == 0)
                    continue;
                fetchColumns(sample, {QStringLiteral("NOTE")}, database);
                out << "    |---SAMPLE " << k << " : " << sample.NOTE << '\n';
            }
        }
        out << '\n';
    }
    return flushed(out);
}
