-- feature: stage references (@stage/path, @~, @%table, quoted stage names) are no tables
-- default_db: RAW
-- default_schema: LANDING

-- case: named stage with file format and pattern joined to a table
-- join: INNER |  | raw.core.customers
select s.$1 as id, s.$2 as name, c.segment
from @raw.landing.customer_stage/2024/ (file_format => 'csv_fmt', pattern => '.*[.]csv') s
join raw.core.customers c on c.id = s.$1

-- case: table stage joined to user stage
-- join: INNER |  |
select t.$1, u.$1 from @%orders t join @~/uploads/ u on t.$1 = u.$1

-- case: stage on the right of a left join
-- join: LEFT OUTER | raw.landing.orders |
select o.id from orders o left join @landing_stage/returns/ r on r.$1 = o.id

-- case: quoted stage name with a space
-- join: INNER |  | raw.landing.dims
select m.$1, d.label from @"RAW"."LANDING"."MY STAGE"/daily/ m join dims d on d.code = m.$3

-- case: stage named by a string, with a file format
-- join: INNER |  | raw.landing.vendors
select f.$1 as vendor_id, v.name
from '@raw.landing.vendor_files/2024/' (file_format => 'csv_fmt') f
join vendors v on v.id = f.$1

-- case: directory table of a stage
-- join: LEFT OUTER |  | raw.landing.documents
select d.relative_path, get_presigned_url(@docs, d.relative_path) as url, m.title
from directory(@docs) d left join documents m on m.path = d.relative_path
