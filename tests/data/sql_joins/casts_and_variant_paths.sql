-- feature: :: casts, : variant paths, CAST/TRY_CAST/EXTRACT/DATEDIFF, literals in conditions
-- default_db: DB
-- default_schema: PUBLIC

-- case: casts on both sides of the condition
-- join: INNER | db.public.events | db.public.users
select * from events e join users u on u.id::varchar = e.payload:user.id::varchar

-- case: quoted path keys and array index
-- join: INNER | db.public.events | db.public.devices
select e.raw:"Event Type"::string, d.name
from events e
join devices d on d.id = e.raw:context.devices[0]:id::number(38, 0)

-- case: cast, datediff, extract and try_cast in the condition
-- join: INNER | db.public.shipments | db.public.orders
select *
from shipments s
join orders o on cast(s.order_ref as integer) = o.id
  and datediff(day, o.placed_at, s.shipped_at) between 0 and 30
  and extract(year from o.placed_at) = try_cast(s.fiscal_year as int)

-- case: object and array literals, interval and typed literals
-- join: INNER | db.public.a | db.public.b
select object_construct('id', a.id, 'tags', [a.t1, a.t2]) as obj, {'k': b.v} as o2
from a join b on b.ts between a.ts and a.ts + interval '1 hour' and b.d >= date '2024-01-01'

-- case: is not distinct from, ilike any, case, not in, rlike
-- join: INNER | db.public.l | db.public.r
select * from l join r
  on l.k is not distinct from r.k
 and r.name ilike any ('%a%', '%b%')
 and case when l.flag then r.x else r.y end = l.v
 and l.code not in (1, 2, 3)
 and r.s rlike '^[a-z]+$'

-- case: time zone types
-- join: INNER | db.public.events | db.public.sessions
select cast(e.ts as timestamp with local time zone) as ts_ltz,
       s.started::timestamp with time zone as started, s.ended::timestamp(3) without time zone
from events e
join sessions s on s.id = e.session_id and e.ts::timestamp with local time zone >= s.started
